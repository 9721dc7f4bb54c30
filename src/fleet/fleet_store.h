// The fleet's SQLite database: a row per poll and module in `polls` (a skipped tick too;
// a failed poll's readings are NULL, never old values), and a row per module in `modules`
// with its last outcome, last good poll and counts of attempts, failures and skips. WAL
// mode, so that `sqlite3` and `kavrel fleet status` read it while polling runs; one
// transaction per round, written on the store's own thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/poll_sink.h"

struct sqlite3;

namespace kavrel::fleet {

class FleetStore final : public PollSink {
public:
    // Opens (creating when needed) the database. Check error() before polling.
    FleetStore(const std::string& path, const std::vector<FleetModule>& modules);
    ~FleetStore() override;
    FleetStore(const FleetStore&) = delete;
    FleetStore& operator=(const FleetStore&) = delete;

    const std::string& error() const { return openError_; }

    void record(const PollRecord& record) override;
    void endRound() override;
    // Commits what is left and stops the writer; a round that cannot be written is
    // reported on stderr and kept for the next try until then.
    void finish() override;

    // Rounds that could not be committed yet (the file locked or the disk full).
    std::size_t waitingRounds() const;

private:
    void writer();
    bool commit(const std::vector<PollRecord>& round);

    sqlite3* db_ = nullptr;
    std::string openError_;
    const std::vector<FleetModule>& modules_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<PollRecord> current_;
    std::deque<std::vector<PollRecord>> rounds_;
    bool finishing_ = false;
    std::thread thread_;
};

} // namespace kavrel::fleet
