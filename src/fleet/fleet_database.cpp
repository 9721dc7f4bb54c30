#include "fleet/fleet_database.h"

namespace kavrel::fleet {

FleetDatabaseChoice chooseFleetDatabase(const std::string& where) {
    FleetDatabaseChoice choice;
    choice.where = where;
    choice.postgres = isPostgresAddress(where);
    choice.localBase = choice.postgres ? "kavrel-fleet-pg" : where;
    choice.jobsFile = choice.postgres ? choice.localBase + "-jobs.db" : where;
    return choice;
}

std::unique_ptr<FleetStore> openFleetStore(const FleetDatabaseChoice& choice, const std::vector<FleetModule>& modules,
                                           StoreLimits limits) {
    if (!choice.postgres) return std::make_unique<FleetStore>(choice.where, modules, limits);
    std::string error;
    auto database = openPostgresPolls(choice.where, error, choice.member);
    return std::make_unique<FleetStore>(std::move(database), error, choice.localBase + "-rounds.spool", modules, limits);
}

} // namespace kavrel::fleet
