#include "fleet/fleet_database.h"

#include <unistd.h>

namespace kavrel::fleet {

FleetDatabaseChoice chooseFleetDatabase(const std::string& where) {
    FleetDatabaseChoice choice;
    choice.where = where;
    choice.postgres = isPostgresAddress(where);
    choice.localBase = choice.postgres ? "kavrel-fleet-pg" : where;
    choice.jobsFile = choice.postgres ? "" : where;
    return choice;
}

std::string defaultMemberName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = 0;
    return std::string(host[0] ? host : "kavrel") + ":" + std::to_string(::getpid());
}

std::unique_ptr<FleetStore> openFleetStore(const FleetDatabaseChoice& choice, const std::vector<FleetModule>& modules,
                                           StoreLimits limits) {
    if (!choice.postgres) return std::make_unique<FleetStore>(choice.where, modules, limits);
    std::string error;
    auto database = openPostgresPolls(choice.where, error, choice.member);
    return std::make_unique<FleetStore>(std::move(database), error, choice.localBase + "-rounds.spool", modules, limits);
}

} // namespace kavrel::fleet
