// A build without libpq (the Windows build): a PostgreSQL address is refused with a reason.
#include "fleet/poll_database.h"
#include "fleet/postgres/pg_status.h"

namespace kavrel::fleet {

bool postgresAvailable() { return false; }

std::unique_ptr<PollDatabase> openPostgresPolls(const std::string&, std::string& error, const std::string&) {
    error = "ta wersja programu nie obsługuje baz PostgreSQL (zbudowano ją bez libpq); użyj pliku SQLite";
    return nullptr;
}

namespace postgres {

FleetStatus readPostgresStatus(const std::string&) {
    FleetStatus status;
    std::string error;
    openPostgresPolls("", error, "");
    status.error = error;
    return status;
}

} // namespace postgres
} // namespace kavrel::fleet
