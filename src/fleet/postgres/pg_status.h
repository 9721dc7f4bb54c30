// `kavrel fleet status postgresql://...`: the modules of a fleet kept on a PostgreSQL server,
// each with the service that owns it now (the rendezvous over the live members, as the
// services themselves choose it).
#pragma once

#include <string>

#include "fleet/fleet_status.h"

namespace kavrel::fleet::postgres {

FleetStatus readPostgresStatus(const std::string& address);

} // namespace kavrel::fleet::postgres
