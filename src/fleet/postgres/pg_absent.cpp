// A build without libpq (the Windows build): a PostgreSQL address is refused with a reason.
#include "fleet/poll_database.h"

namespace kavrel::fleet {

bool postgresAvailable() { return false; }

std::unique_ptr<PollDatabase> openPostgresPolls(const std::string&, std::string& error, const std::string&) {
    error = "ta wersja programu nie obsługuje baz PostgreSQL (zbudowano ją bez libpq); użyj pliku SQLite";
    return nullptr;
}

} // namespace kavrel::fleet
