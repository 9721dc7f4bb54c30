#include "fleet/fleet_store.h"

#include <sqlite3.h>

#include <chrono>
#include <iostream>

#include "fleet/poll_values.h"

namespace kavrel::fleet {
namespace {

constexpr int kBusyWaitMs = 5000;   // a reader holding the file is waited for this long
constexpr std::chrono::seconds kRetryPause{1};

// The columns of a poll row after its fixed ones, named once here for the schema and the insert.
std::vector<std::string> readingColumns() {
    std::vector<std::string> columns;
    for (int i = 1; i <= monitor::kInputLines; ++i) {
        const std::string l = "l" + std::to_string(i);
        columns.insert(columns.end(), {l + "_name", l, l + "_value", l + "_state"});
    }
    for (const char* c : {"outputs", "alarm", "gsm_signal", "gsm_network", "sms", "email", "ext_mode"}) columns.push_back(c);
    for (int i = 1; i <= monitor::kExtendedLines; ++i) {
        const std::string x = "xl" + std::to_string(i);
        columns.insert(columns.end(), {x + "_name", x, x + "_state"});
    }
    return columns;
}

std::string schema() {
    std::string polls = "CREATE TABLE IF NOT EXISTS polls (id INTEGER PRIMARY KEY, module TEXT NOT NULL, "
                        "started TEXT NOT NULL, started_ms INTEGER NOT NULL, late_ms INTEGER, duration_ms INTEGER, "
                        "outcome TEXT NOT NULL";
    for (const auto& c : readingColumns()) {
        const bool number = c.ends_with("_value");
        const bool whole = c == "outputs" || c == "alarm" || c == "gsm_signal" || c == "gsm_network" || c == "sms" ||
                           c == "email" || c == "ext_mode";
        polls += ", " + c + (number ? " REAL" : whole ? " INTEGER" : " TEXT");
    }
    polls += ");";
    return "PRAGMA journal_mode=WAL;"
           "CREATE TABLE IF NOT EXISTS modules (name TEXT PRIMARY KEY, endpoint TEXT, last_outcome TEXT, "
           "last_poll TEXT, last_poll_ms INTEGER, last_good TEXT, last_good_ms INTEGER, "
           "attempts INTEGER NOT NULL DEFAULT 0, failures INTEGER NOT NULL DEFAULT 0, skips INTEGER NOT NULL DEFAULT 0);" +
           polls + "CREATE INDEX IF NOT EXISTS polls_by_module ON polls (module, started_ms);";
}

std::string insertPollSql() {
    const auto columns = readingColumns();
    std::string names = "module, started, started_ms, late_ms, duration_ms, outcome";
    std::string marks = "?, ?, ?, ?, ?, ?";
    for (const auto& c : columns) {
        names += ", " + c;
        marks += ", ?";
    }
    return "INSERT INTO polls (" + names + ") VALUES (" + marks + ")";
}

constexpr const char* kUpdateModuleSql =
    "INSERT INTO modules (name, endpoint, last_outcome, last_poll, last_poll_ms, last_good, last_good_ms, attempts, "
    "failures, skips) VALUES (?1, ?2, ?3, ?4, ?5, CASE WHEN ?3 = 'ok' THEN ?4 END, CASE WHEN ?3 = 'ok' THEN ?5 END, "
    "?6, ?7, ?8) "
    "ON CONFLICT(name) DO UPDATE SET endpoint = ?2, last_outcome = ?3, last_poll = ?4, last_poll_ms = ?5, "
    "last_good = CASE WHEN ?3 = 'ok' THEN ?4 ELSE last_good END, "
    "last_good_ms = CASE WHEN ?3 = 'ok' THEN ?5 ELSE last_good_ms END, "
    "attempts = attempts + ?6, failures = failures + ?7, skips = skips + ?8";

// Binds one value after another to a statement.
class Binder {
public:
    explicit Binder(sqlite3_stmt* statement) : statement_(statement) {}
    void text(const std::string& value) {
        sqlite3_bind_text(statement_, ++at_, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    void textOrNull(const std::string& value) { value.empty() ? null() : text(value); }
    void integer(long long value) { sqlite3_bind_int64(statement_, ++at_, value); }
    void real(std::optional<double> value) { value ? (void)sqlite3_bind_double(statement_, ++at_, *value) : null(); }
    void null() { sqlite3_bind_null(statement_, ++at_); }
    void skip(int count) {
        for (int i = 0; i < count; ++i) null();
    }

private:
    sqlite3_stmt* statement_;
    int at_ = 0;
};

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &handle, nullptr); }
    ~Statement() { sqlite3_finalize(handle); }
    bool run() {
        const int rc = sqlite3_step(handle);
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
        return rc == SQLITE_DONE;
    }
};

void bindPoll(Binder& b, const PollRecord& record, const FleetModule& module) {
    b.text(module.name);
    b.text(utcText(record.started));
    b.integer(unixMs(record.started));
    if (record.outcome == Outcome::Skipped) {
        b.skip(2);
    } else {
        b.integer(static_cast<long long>(record.lateSeconds * 1000));
        b.integer(record.durationMs);
    }
    b.text(outcomeText(record.outcome));
    if (!record.measurement) {
        b.skip(static_cast<int>(readingColumns().size()));
        return;
    }
    const monitor::MeasurementSnapshot& m = *record.measurement;
    const PollValues values = pollValues(record, module.settings);
    for (const LineValue& line : values.lines) {
        b.text(line.name);
        b.text(line.text);
        b.real(line.number);
        b.textOrNull(line.state);
    }
    for (const int number : {m.outputs, m.alarm, m.gsmSignal, m.gsmNetwork, m.smsCount, m.emailCount, m.extMode})
        b.integer(number);
    for (const LineValue& line : values.extended) {
        if (values.extendedMode == 0) {
            b.skip(3);
            continue;
        }
        b.text(line.name);
        b.textOrNull(line.text);
        b.textOrNull(line.state);
    }
}

} // namespace

FleetStore::FleetStore(const std::string& path, const std::vector<FleetModule>& modules) : modules_(modules) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        openError_ = "nie można otworzyć bazy " + path + ": " + (db_ ? sqlite3_errmsg(db_) : "out of memory");
        return;
    }
    sqlite3_busy_timeout(db_, kBusyWaitMs);
    char* message = nullptr;
    if (sqlite3_exec(db_, schema().c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        openError_ = "nie można przygotować bazy " + path + ": " + (message ? message : "");
        sqlite3_free(message);
        return;
    }
    // WAL with NORMAL sync: a commit is durable against a crash of the program, and a power
    // cut loses at most the last rounds, never the file.
    sqlite3_exec(db_, "PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
    thread_ = std::thread([this] { writer(); });
}

FleetStore::~FleetStore() {
    finish();
    sqlite3_close(db_);
}

void FleetStore::record(const PollRecord& record) {
    std::lock_guard lock(mutex_);
    current_.push_back(record);
}

void FleetStore::endRound() {
    {
        std::lock_guard lock(mutex_);
        if (current_.empty()) return;
        rounds_.push_back(std::move(current_));
        current_.clear();
    }
    wake_.notify_one();
}

std::size_t FleetStore::waitingRounds() const {
    std::lock_guard lock(mutex_);
    return rounds_.size();
}

void FleetStore::finish() {
    endRound();
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void FleetStore::writer() {
    bool reported = false;
    int finalTries = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return !rounds_.empty() || finishing_; });
        if (rounds_.empty()) return;
        const std::vector<PollRecord> round = rounds_.front();
        lock.unlock();
        const bool written = commit(round);
        lock.lock();
        if (written) {
            rounds_.pop_front();
            reported = false;
            continue;
        }
        if (!reported) std::cerr << "kavrel fleet: bazy nie da się teraz zapisać (" << sqlite3_errmsg(db_)
                                 << "); rundy są zachowane i zapis zostanie ponowiony\n";
        reported = true;
        if (finishing_ && ++finalTries >= 3) {
            std::cerr << "kavrel fleet: " << rounds_.size() << " rund odczytów nie udało się zapisać\n";
            return;
        }
        wake_.wait_for(lock, kRetryPause);
    }
}

bool FleetStore::commit(const std::vector<PollRecord>& round) {
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    Statement insert(db_, insertPollSql());
    Statement update(db_, kUpdateModuleSql);
    bool ok = insert.handle && update.handle;
    for (const PollRecord& record : round) {
        if (!ok) break;
        const FleetModule& module = modules_[record.module];
        Binder poll(insert.handle);
        bindPoll(poll, record, module);
        Binder state(update.handle);
        state.text(module.name);
        state.text(module.endpoint());
        state.text(outcomeText(record.outcome));
        state.text(utcText(record.started));
        state.integer(unixMs(record.started));
        state.integer(record.outcome == Outcome::Skipped ? 0 : 1);
        state.integer(record.outcome == Outcome::NoAnswer || record.outcome == Outcome::Refused ? 1 : 0);
        state.integer(record.outcome == Outcome::Skipped ? 1 : 0);
        ok = insert.run() && update.run();
    }
    if (ok && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

} // namespace kavrel::fleet
