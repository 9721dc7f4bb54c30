#include "fleet/postgres/pg_status.h"

#include "fleet/module_ownership.h"
#include "fleet/postgres/pg_connection.h"

namespace kavrel::fleet::postgres {
namespace {

std::optional<long long> optionalNumber(const PgResult& r, int row, int column) {
    if (r.isNull(row, column)) return std::nullopt;
    return std::stoll(r.text(row, column));
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
    if (const PgResult dropped = pg.run("SELECT value FROM poller_figures WHERE name = 'mqtt_dropped'");
        dropped && dropped.rows() == 1)
        status.mqttDropped = std::stoll(dropped.text(0, 0));
    return status;
}

} // namespace kavrel::fleet::postgres
