#include "fleet/postgres/pg_job_store.h"

#include <chrono>
#include <iostream>

#include "fleet/postgres/pg_connection.h"
#include "fleet/postgres/pg_schema.h"

namespace kavrel::fleet::postgres {
namespace {

// Results kept for a server that does not answer; beyond them the oldest are counted lost.
constexpr std::size_t kItemsKept = 100'000;
constexpr std::chrono::seconds kRetryPause{2};

SqlValue textOrNull(const std::string& text) { return text.empty() ? SqlValue{} : SqlValue{text}; }

std::string joined(const std::vector<std::string>& texts) {
    std::string all;
    for (const auto& t : texts) all += (all.empty() ? "" : "; ") + t;
    return all;
}

bool write(PgConnection& pg, const std::variant<JobReport, std::pair<std::string, JobSchedule>>& item) {
    if (const auto* s = std::get_if<std::pair<std::string, JobSchedule>>(&item)) {
        return static_cast<bool>(pg.run("INSERT INTO module_jobs (module, kind, next_due_ms, retries) VALUES ($1, $2, $3, $4) "
                                        "ON CONFLICT (module, kind) DO UPDATE SET next_due_ms = EXCLUDED.next_due_ms, "
                                        "retries = EXCLUDED.retries",
                                        {s->first, std::string(jobKindText(s->second.kind)), unixMs(s->second.nextDue),
                                         static_cast<long long>(s->second.retries)}));
    }
    const JobReport& r = std::get<JobReport>(item);
    const bool backup = r.kind == JobKind::Backup;
    // A collection's counts, a backup's changed fields; NULL for the other kind.
    SqlValue records, holes, lost, changes;
    if (backup) {
        changes.emplace<long long>(static_cast<long long>(r.changes.size()));
    } else {
        records.emplace<long long>(static_cast<long long>(r.records));
        holes.emplace<long long>(static_cast<long long>(r.holes));
        lost.emplace<long long>(static_cast<long long>(r.lostRecords));
    }
    const SqlValue file = textOrNull(backup ? r.backupFile : r.archiveFile);
    const std::string kind = jobKindText(r.kind), outcome = jobOutcomeText(r.outcome);
    bool ok = static_cast<bool>(pg.run(
        "INSERT INTO jobs (module, kind, started, started_ms, ended_ms, attempt, outcome, error, records, holes, "
        "lost_records, new_segments, file, version, changes) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, "
        "$13, $14, $15)",
        {r.moduleName, kind, utcText(r.started), unixMs(r.started), unixMs(r.ended), static_cast<long long>(r.attempt),
         outcome, textOrNull(r.error), records, holes, lost, textOrNull(joined(r.newSegments)), file,
         textOrNull(r.version), changes}));
    if (backup)
        for (const auto& c : r.changes)
            ok = ok && pg.run("INSERT INTO config_changes (module, time, time_ms, key, caption, before, after) "
                              "VALUES ($1, $2, $3, $4, $5, $6, $7)",
                              {r.moduleName, utcText(r.ended), unixMs(r.ended), c.key, c.caption, c.before, c.after});
    return ok && pg.run("INSERT INTO module_jobs AS j (module, kind, last_ms, last_outcome, last_error, last_ok_ms, "
                        "last_records, last_holes, last_changes, last_file) VALUES ($1, $2, $3::bigint, $4::text, $5, "
                        "CASE WHEN $4::text = 'ok' THEN $3::bigint END, $6::bigint, $7::bigint, $8::bigint, $9::text) "
                        "ON CONFLICT (module, kind) DO UPDATE SET last_ms = EXCLUDED.last_ms, "
                        "last_outcome = EXCLUDED.last_outcome, last_error = EXCLUDED.last_error, "
                        "last_ok_ms = COALESCE(EXCLUDED.last_ok_ms, j.last_ok_ms), "
                        "last_records = CASE WHEN EXCLUDED.last_outcome = 'failed' THEN j.last_records "
                        "ELSE EXCLUDED.last_records END, "
                        "last_holes = CASE WHEN EXCLUDED.last_outcome = 'failed' THEN j.last_holes "
                        "ELSE EXCLUDED.last_holes END, "
                        "last_changes = CASE WHEN EXCLUDED.last_outcome = 'ok' THEN EXCLUDED.last_changes "
                        "ELSE j.last_changes END, "
                        "last_file = COALESCE(EXCLUDED.last_file, j.last_file)",
                        {r.moduleName, kind, unixMs(r.ended), outcome, textOrNull(r.error), records, holes, changes, file});
}

} // namespace

PgJobStore::PgJobStore(const std::string& address) : address_(address) {
    std::string why;
    if (!PgConnection::validAddress(address, why)) {
        openError_ = "nieprawidłowy adres bazy PostgreSQL: " + why;
        return;
    }
    PgConnection pg(address_);
    if (pg.exec(schemaSql())) {
        if (const PgResult rows =
                pg.run("SELECT module, kind, last_ok_ms FROM module_jobs WHERE last_ok_ms IS NOT NULL")) {
            for (int i = 0; i < rows.rows(); ++i) {
                const std::string kind = rows.text(i, 1);
                const int k = kind == jobKindText(JobKind::Collect) ? 0 : kind == jobKindText(JobKind::Backup) ? 1 : -1;
                if (k >= 0)
                    lastOk_[{rows.text(i, 0), k}] = WallTime(std::chrono::milliseconds(std::stoll(rows.text(i, 2))));
            }
        }
    } else {
        std::cerr << "kavrel fleet serve: ostatnich zadań nie da się odczytać (" << pg.error()
                  << "); zadania należne zostaną wykonane od razu\n";
    }
    thread_ = std::thread([this] { writer(); });
}

PgJobStore::~PgJobStore() { finish(); }

void PgJobStore::writer() {
    PgConnection pg(address_);
    bool said = false;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return finishing_ || !items_.empty(); });
        if (items_.empty()) return;
        std::deque<Item> batch;
        batch.swap(items_);
        lock.unlock();
        bool ok = pg.exec("BEGIN");
        for (const Item& item : batch) {
            if (!ok) break;
            if (const auto* s = std::get_if<Scheduled>(&item)) ok = write(pg, std::pair{s->module, s->schedule});
            else ok = write(pg, std::get<JobReport>(item));
        }
        ok = ok && pg.exec("COMMIT");
        if (!ok && pg.connected()) pg.exec("ROLLBACK");
        lock.lock();
        if (ok) {
            said = false;
            continue;
        }
        if (!said) std::cerr << "kavrel fleet serve: wyniki zadań czekają na bazę (" << pg.error() << ")\n";
        said = true;
        // The batch goes back before what came meanwhile, and is tried again; at the end, or
        // beyond the bound, what cannot be written is counted.
        for (auto it = batch.rbegin(); it != batch.rend(); ++it) items_.push_front(std::move(*it));
        while (items_.size() > kItemsKept) {
            items_.pop_front();
            ++failed_;
        }
        if (finishing_) {
            failed_ += static_cast<long long>(items_.size());
            items_.clear();
            return;
        }
        wake_.wait_for(lock, kRetryPause, [this] { return finishing_; });
    }
}

} // namespace kavrel::fleet::postgres
