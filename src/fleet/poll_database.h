// Where the fleet store's writer commits its rounds: the SQLite file beside the service, or a
// PostgreSQL server that several services and the firm's reports share. The store keeps the
// queue, the disk spool and the tally; a database only takes one round at a time, all of it
// or nothing, and says why when it cannot.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fleet/store_rows.h"

namespace kavrel::fleet {

struct StoreLimits;

// A figure's growth since the last commit: added to `poller_figures`.
using FigureGrowth = std::vector<std::pair<std::string, long long>>;

class PollDatabase {
public:
    virtual ~PollDatabase() = default;
    // One transaction: the polls' rows, their modules' rows and the figures' growth. A poll
    // the database already holds (a round written again after its acknowledgement was lost)
    // is not written twice where the database can tell.
    virtual bool commit(const StoredPolls& polls, const FigureGrowth& figures) = 0;
    // Why the last commit failed, for the operator (UTF-8).
    virtual const std::string& lastError() const = 0;
    // Whether the last failure may clear within seconds (another program holds the file):
    // worth a few more tries at the end before the rest is left in the spool.
    virtual bool lastFailureBrief() const = 0;
    // Work after a commit within a time budget (thinning old rows); rows removed.
    virtual long long afterCommit() { return 0; }
    // What the operator is told the database is ("FLEET.db", "postgresql://kavrel@host/fleet").
    virtual std::string describe() const = 0;
};

// Whether `where` names a PostgreSQL server rather than a file.
bool isPostgresAddress(const std::string& where);
// Whether this build can write to PostgreSQL.
bool postgresAvailable();

// The SQLite file at `path`, created when needed; nullptr and `error` when it cannot be.
std::unique_ptr<PollDatabase> openSqlitePolls(const std::string& path, const StoreLimits& limits, std::string& error);
// The PostgreSQL server named by `address` (a libpq URI or connection string). Only a
// malformed address fails here: an unreachable server is tried again at each commit, so that
// a service starts (and spools) while its server is down. `member`: the service's name
// among several sharing the fleet, kept with each poll row (polls.member, modules.owner).
std::unique_ptr<PollDatabase> openPostgresPolls(const std::string& address, std::string& error,
                                                const std::string& member = "");

} // namespace kavrel::fleet
