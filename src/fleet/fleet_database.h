// Which database `--db` names: a SQLite file (FLEET.db, the default), or a PostgreSQL server
// (postgresql://USER@HOST/DB, the password from ~/.pgpass or PGPASSWORD, never on the command
// line). The files the service keeps on this computer (the spools) are named after the
// SQLite file, or after `kavrel-fleet-pg` in the working folder when the database is a server.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "fleet/fleet_store.h"

namespace kavrel::fleet {

struct FleetDatabaseChoice {
    std::string where;       // as given
    bool postgres = false;
    std::string localBase;   // the spools are LOCALBASE-rounds.spool, LOCALBASE-mqtt.spool, ...
    std::string jobsFile;    // the SQLite file of the job tables ("" with a server: they are on it)
    std::string member;      // with a server: this service's name among those sharing the fleet
};

FleetDatabaseChoice chooseFleetDatabase(const std::string& where);
// A service's name among those sharing a fleet when none is given: this computer's name and
// the process id.
std::string defaultMemberName();

// The store writing to the chosen database; check its error().
std::unique_ptr<FleetStore> openFleetStore(const FleetDatabaseChoice& choice, const std::vector<FleetModule>& modules,
                                           StoreLimits limits = {});

} // namespace kavrel::fleet
