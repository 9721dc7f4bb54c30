#include "fleet/postgres/pg_status.h"

#include <map>

#include "fleet/module_ownership.h"
#include "fleet/postgres/pg_connection.h"

namespace kavrel::fleet::postgres {
namespace {

std::optional<long long> optionalNumber(const PgResult& r, int row, int column) {
    if (r.isNull(row, column)) return std::nullopt;
    return std::stoll(r.text(row, column));
}

// The service's job tables: each module's last collection and backup, and the fields of its
// last backup that found changes.
void readJobs(PgConnection& pg, FleetStatus& status) {
    std::map<std::string, ModuleStatus*> byName;
    for (ModuleStatus& m : status.modules) byName[m.name] = &m;
    const PgResult jobs = pg.run("SELECT module, kind, last_ms, last_outcome, last_error, last_ok_ms, last_records, "
                                 "last_holes, last_changes, last_file, next_due_ms, retries FROM module_jobs");
    for (int r = 0; r < jobs.rows(); ++r) {
        const auto m = byName.find(jobs.text(r, 0));
        const std::string kind = jobs.text(r, 1);
        const int k = kind == "collect" ? 0 : kind == "backup" ? 1 : -1;
        if (k < 0 || m == byName.end()) continue;
        ModuleStatus::Job& job = m->second->jobs[static_cast<std::size_t>(k)];
        job.known = true;
        job.lastMs = optionalNumber(jobs, r, 2);
        job.lastOutcome = jobs.text(r, 3);
        job.lastError = jobs.text(r, 4);
        job.lastOkMs = optionalNumber(jobs, r, 5);
        job.records = optionalNumber(jobs, r, 6);
        job.holes = optionalNumber(jobs, r, 7);
        job.changes = optionalNumber(jobs, r, 8);
        job.file = jobs.text(r, 9);
        job.nextDueMs = optionalNumber(jobs, r, 10);
        job.retries = std::stoll(jobs.text(r, 11));
    }
    const PgResult changes = pg.run("SELECT module, key, before, after FROM config_changes c WHERE time_ms = "
                                    "(SELECT max(time_ms) FROM config_changes d WHERE d.module = c.module) ORDER BY id");
    for (int r = 0; r < changes.rows(); ++r)
        if (const auto m = byName.find(changes.text(r, 0)); m != byName.end())
            m->second->lastChanges.push_back(changes.text(r, 1) + ": " + changes.text(r, 2) + " -> " + changes.text(r, 3));
}

} // namespace

FleetStatus readPostgresStatus(const std::string& address) {
    FleetStatus status;
    std::string why;
    if (!PgConnection::validAddress(address, why)) {
        status.error = "nieprawidłowy adres bazy PostgreSQL: " + why;
        return status;
    }
    PgConnection pg(address);
    const PgResult modules = pg.run("SELECT name, endpoint, last_outcome, last_good_ms, last_poll_ms, attempts, failures, "
                                    "skips, last_reason, owner FROM modules ORDER BY name");
    if (!modules) {
        status.error = pg.error();
        return status;
    }
    // The members that own modules now: alive, and past the moment each counts from.
    std::vector<std::string> live;
    if (const PgResult members = pg.run("SELECT member FROM fleet_members WHERE expires > now()")) {
        for (int r = 0; r < members.rows(); ++r) live.push_back(members.text(r, 0));
    }
    for (int r = 0; r < modules.rows(); ++r) {
        ModuleStatus m = moduleStatusOf(modules.text(r, 0), modules.text(r, 1), modules.text(r, 2), modules.text(r, 8),
                                        optionalNumber(modules, r, 3), optionalNumber(modules, r, 4),
                                        std::stoll(modules.text(r, 5)), std::stoll(modules.text(r, 6)),
                                        std::stoll(modules.text(r, 7)));
        m.owner = live.empty() ? modules.text(r, 9) : rendezvousOwner(m.name, live);
        status.modules.push_back(std::move(m));
    }
    readJobs(pg, status);
    if (const PgResult dropped = pg.run("SELECT value FROM poller_figures WHERE name = 'mqtt_dropped'");
        dropped && dropped.rows() == 1)
        status.mqttDropped = std::stoll(dropped.text(0, 0));
    return status;
}

} // namespace kavrel::fleet::postgres
