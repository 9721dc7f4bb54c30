// Retention of the fleet database: raw polls are kept for a number of days, then thinned to
// one row per module and interval (the first answered poll of the interval, or its first
// row when none was answered), so that the file stops growing while the history stays. The
// work is done a little after each round's commit, in its own transaction and within a time
// budget, module by module and interval by interval, so that no round waits for a day's
// worth of deletes; where it stopped is kept in the database (`fleet_meta`) for the next run.
#pragma once

#include <chrono>
#include <string>

struct sqlite3;

namespace kavrel::fleet {

struct RetentionPolicy {
    long long keepRawMs = 0;             // 0: every poll is kept
    long long intervalMs = 15 * 60'000;  // one row per module and this interval after that
    std::chrono::milliseconds budget{150};   // thinning time after each round at most
};

class FleetRetention {
public:
    FleetRetention(sqlite3* db, RetentionPolicy policy);
    bool active() const { return policy_.keepRawMs > 0; }
    // Thins what has grown older than the raw period by `nowMs`, for at most the budget.
    // Returns the rows deleted; a database that is busy is left for the next round.
    long long step(long long nowMs);

private:
    bool loadCursor();
    bool thinModule(const std::string& module, long long from, long long to, long long& deleted);

    sqlite3* db_;
    RetentionPolicy policy_;
    bool loaded_ = false;
    long long sliceFrom_ = -1;    // the interval being thinned; -1: nothing stored yet
    std::string lastModule_;      // the last module of that interval already thinned
};

} // namespace kavrel::fleet
