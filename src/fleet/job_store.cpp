#include "fleet/job_store.h"

#include <sqlite3.h>

#include <iostream>

#include "fleet/store_rows.h"

namespace kavrel::fleet {
namespace {

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    "CREATE TABLE IF NOT EXISTS jobs (id INTEGER PRIMARY KEY, module TEXT NOT NULL, kind TEXT NOT NULL, "
    "started TEXT NOT NULL, started_ms INTEGER NOT NULL, ended_ms INTEGER NOT NULL, attempt INTEGER NOT NULL, "
    "outcome TEXT NOT NULL, error TEXT, records INTEGER, holes INTEGER, lost_records INTEGER, new_segments TEXT, "
    "file TEXT, version TEXT, changes INTEGER);"
    "CREATE INDEX IF NOT EXISTS jobs_by_module ON jobs (module, kind, started_ms);"
    "CREATE TABLE IF NOT EXISTS config_changes (id INTEGER PRIMARY KEY, module TEXT NOT NULL, time TEXT NOT NULL, "
    "time_ms INTEGER NOT NULL, key TEXT NOT NULL, caption TEXT, before TEXT, after TEXT);"
    "CREATE TABLE IF NOT EXISTS module_jobs (module TEXT NOT NULL, kind TEXT NOT NULL, last_ms INTEGER, "
    "last_outcome TEXT, last_error TEXT, last_ok_ms INTEGER, last_records INTEGER, last_holes INTEGER, "
    "last_changes INTEGER, last_file TEXT, next_due_ms INTEGER, retries INTEGER NOT NULL DEFAULT 0, "
    "PRIMARY KEY (module, kind));";

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &handle, nullptr); }
    ~Statement() { sqlite3_finalize(handle); }
    Statement& text(int at, const std::string& value) {
        sqlite3_bind_text(handle, at, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& textOrNull(int at, const std::string& value) {
        if (value.empty()) sqlite3_bind_null(handle, at);
        else text(at, value);
        return *this;
    }
    Statement& integer(int at, long long value) {
        sqlite3_bind_int64(handle, at, value);
        return *this;
    }
    bool run() {
        const int rc = handle ? sqlite3_step(handle) : SQLITE_ERROR;
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
        return rc == SQLITE_DONE;
    }
};

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const auto& t : texts) all += (all.empty() ? "" : "; ") + t;
    return all;
}

} // namespace

JobStore::JobStore(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        openError_ = "nie można otworzyć bazy " + path + ": " + sqlite3_errmsg(db_);
        return;
    }
    sqlite3_busy_timeout(db_, 5000);
    char* message = nullptr;
    if (sqlite3_exec(db_, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        openError_ = storeErrorText(sqlite3_errcode(db_), message);
        sqlite3_free(message);
        return;
    }
    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(db_, "SELECT module, kind, last_ok_ms FROM module_jobs WHERE last_ok_ms IS NOT NULL", -1,
                           &read, nullptr) == SQLITE_OK) {
        while (sqlite3_step(read) == SQLITE_ROW) {
            const std::string module = reinterpret_cast<const char*>(sqlite3_column_text(read, 0));
            const std::string kind = reinterpret_cast<const char*>(sqlite3_column_text(read, 1));
            const int k = kind == jobKindText(JobKind::Collect) ? 0 : kind == jobKindText(JobKind::Backup) ? 1 : -1;
            if (k < 0) continue;
            lastOk_[{module, k}] = WallTime(std::chrono::milliseconds(sqlite3_column_int64(read, 2)));
        }
    }
    sqlite3_finalize(read);
    thread_ = std::thread([this] { writer(); });
}

JobStore::~JobStore() {
    finish();
    if (db_) sqlite3_close(db_);
}

void JobTables::jobDone(const JobReport& report) {
    {
        std::lock_guard lock(mutex_);
        if (report.outcome == JobOutcome::Ok)
            lastOk_[{report.moduleName, static_cast<int>(report.kind)}] = report.ended;
        names_[report.module] = report.moduleName;
        items_.emplace_back(report);
    }
    wake_.notify_one();
}

void JobTables::scheduled(const JobSchedule& schedule) {
    // Called on the loop thread, which also owns the registry: the name is read here.
    std::string name = modules_ && schedule.module < modules_->size() ? (*modules_)[schedule.module].name : "";
    {
        std::lock_guard lock(mutex_);
        if (name.empty()) {
            const auto found = names_.find(schedule.module);
            if (found == names_.end()) return;
            name = found->second;
        }
        items_.emplace_back(Scheduled{name, schedule});
    }
    wake_.notify_one();
}

std::optional<WallTime> JobTables::lastSuccess(const std::string& module, JobKind kind) const {
    std::lock_guard lock(mutex_);
    const auto found = lastOk_.find({module, static_cast<int>(kind)});
    if (found == lastOk_.end()) return std::nullopt;
    return found->second;
}

long long JobTables::failedWrites() const {
    std::lock_guard lock(mutex_);
    return failed_;
}

void JobTables::finish() {
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void JobStore::writer() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return finishing_ || !items_.empty(); });
        if (items_.empty()) return;
        std::deque<Item> batch;
        batch.swap(items_);
        lock.unlock();
        sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        long long failed = 0;
        for (const Item& item : batch)
            if (!write(item)) ++failed;
        const bool committed = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!committed) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            failed = static_cast<long long>(batch.size());
        }
        lock.lock();
        failed_ += failed;
        if (failed > 0 && !failureSaid_) {
            failureSaid_ = true;
            std::cerr << "kavrel fleet serve: nie zapisano w bazie wyników zadań: "
                      << storeErrorText(sqlite3_errcode(db_), sqlite3_errmsg(db_)) << std::endl;
        }
    }
}

bool JobStore::write(const Item& item) {
    if (const auto* s = std::get_if<Scheduled>(&item)) {
        Statement upsert(db_,
                         "INSERT INTO module_jobs (module, kind, next_due_ms, retries) VALUES (?1, ?2, ?3, ?4) "
                         "ON CONFLICT(module, kind) DO UPDATE SET next_due_ms = ?3, retries = ?4");
        return upsert.text(1, s->module)
            .text(2, jobKindText(s->schedule.kind))
            .integer(3, unixMs(s->schedule.nextDue))
            .integer(4, s->schedule.retries)
            .run();
    }
    const JobReport& r = std::get<JobReport>(item);
    const bool backup = r.kind == JobKind::Backup;
    Statement insert(db_,
                     "INSERT INTO jobs (module, kind, started, started_ms, ended_ms, attempt, outcome, error, records, "
                     "holes, lost_records, new_segments, file, version, changes) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)");
    insert.text(1, r.moduleName)
        .text(2, jobKindText(r.kind))
        .text(3, utcText(r.started))
        .integer(4, unixMs(r.started))
        .integer(5, unixMs(r.ended))
        .integer(6, r.attempt)
        .text(7, jobOutcomeText(r.outcome))
        .textOrNull(8, r.error)
        .textOrNull(12, joined(r.newSegments))
        .textOrNull(13, backup ? r.backupFile : r.archiveFile)
        .textOrNull(14, r.version);
    if (backup) insert.integer(15, static_cast<long long>(r.changes.size()));
    else insert.integer(9, r.records).integer(10, r.holes).integer(11, r.lostRecords);
    bool ok = insert.run();
    if (backup) {
        Statement change(db_, "INSERT INTO config_changes (module, time, time_ms, key, caption, before, after) "
                              "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)");
        for (const auto& c : r.changes)
            ok = change.text(1, r.moduleName)
                     .text(2, utcText(r.ended))
                     .integer(3, unixMs(r.ended))
                     .text(4, c.key)
                     .text(5, c.caption)
                     .text(6, c.before)
                     .text(7, c.after)
                     .run() &&
                 ok;
    }
    Statement state(db_,
                    "INSERT INTO module_jobs (module, kind, last_ms, last_outcome, last_error, last_ok_ms, last_records, "
                    "last_holes, last_changes, last_file) VALUES (?1, ?2, ?3, ?4, ?5, CASE WHEN ?4 = 'ok' THEN ?3 END, "
                    "?6, ?7, ?8, ?9) ON CONFLICT(module, kind) DO UPDATE SET last_ms = ?3, last_outcome = ?4, "
                    "last_error = ?5, last_ok_ms = CASE WHEN ?4 = 'ok' THEN ?3 ELSE last_ok_ms END, "
                    "last_records = CASE WHEN ?4 = 'failed' THEN last_records ELSE ?6 END, "
                    "last_holes = CASE WHEN ?4 = 'failed' THEN last_holes ELSE ?7 END, "
                    "last_changes = CASE WHEN ?4 = 'ok' THEN ?8 ELSE last_changes END, "
                    "last_file = COALESCE(?9, last_file)");
    state.text(1, r.moduleName)
        .text(2, jobKindText(r.kind))
        .integer(3, unixMs(r.ended))
        .text(4, jobOutcomeText(r.outcome))
        .textOrNull(5, r.error)
        .textOrNull(9, backup ? r.backupFile : r.archiveFile);
    if (backup) state.integer(8, static_cast<long long>(r.changes.size()));
    else state.integer(6, r.records).integer(7, r.holes);
    return state.run() && ok;
}

} // namespace kavrel::fleet
