// The fleet's database (the SQLite file, or a PostgreSQL server behind `PollDatabase`): a row per poll and module in `polls` (a skipped tick too;
// a failed poll's readings are NULL, never old values), and a row per module in `modules`
// with its last outcome, last good poll and counts of attempts, failures and skips. WAL
// mode, so that `sqlite3` and `kavrel fleet status` read it while polling runs; one
// transaction per round, written on the store's own thread. Rounds the database cannot take
// (the file write-locked by another program, a full disk) wait in memory up to a bound, then
// in a spool file beside the database (DATABASE-rounds.spool), committed in order once it
// takes them again, at the latest by the next run. Every poll is counted as stored, still
// waiting in the spool, or lost (only when even the spool cannot be written).
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/fleet_retention.h"
#include "fleet/message_spool.h"
#include "fleet/poll_database.h"
#include "fleet/poll_sink.h"
#include "fleet/store_rows.h"

namespace kavrel::fleet {

struct StoreLimits {
    std::size_t roundsInMemory = 8;                        // more waiting rounds go to the spool file
    std::uint64_t spoolBytes = 1ull << 30;                 // beyond it the oldest spooled polls are lost
    int busyWaitMs = 5000;                                 // a reader holding the file is waited for this long
    RetentionPolicy retention;                             // raw polls kept, then thinned
    int finalTries = 3;                                    // commits tried at the end (the file held by another
                                                           // program) before the rest is left spooled
};

// What became of the polls recorded, once finish() has returned.
struct StoreTally {
    long long stored = 0;
    long long waiting = 0;      // kept in the spool file for the next run
    long long lost = 0;
    std::string reason;         // why the database did not take them (UTF-8, "" when it did)
    std::string spoolFile;
};

class FleetStore final : public PollSink {
public:
    // Opens (creating when needed) the database. Check error() before polling.
    FleetStore(const std::string& path, const std::vector<FleetModule>& modules, StoreLimits limits = {});
    // Rounds into `database` (nullptr: `openError` says why), spooled in `spoolPath` while it
    // cannot take them.
    FleetStore(std::unique_ptr<PollDatabase> database, const std::string& openError, const std::string& spoolPath,
               const std::vector<FleetModule>& modules, StoreLimits limits = {});
    ~FleetStore() override;
    FleetStore(const FleetStore&) = delete;
    FleetStore& operator=(const FleetStore&) = delete;

    const std::string& error() const { return openError_; }
    // The database as the operator is told of it (a server's address without a password).
    std::string databaseName() const { return db_ ? db_->describe() : std::string(); }

    // Counts of this run kept in `poller_figures` with every round (each name's growth
    // since the last round is added). Called on the store's thread: it must only read
    // atomics. Set before the first poll.
    using Figures = std::function<std::vector<std::pair<std::string, long long>>()>;
    void setFigures(Figures figures) {
        std::lock_guard lock(figuresMutex_);
        figures_ = std::move(figures);
    }

    void record(const PollRecord& record) override;
    void endRound() override;
    // Commits what is left and stops the writer; a round that cannot be written is
    // reported on stderr and kept for the next try until then.
    void finish() override;

    // Rounds in memory that could not be committed yet (the file locked or the disk full).
    std::size_t waitingRounds() const;
    // Polls in the spool file, not committed yet.
    long long spooledPolls() const;
    StoreTally tally() const;
    // For the metrics page: bytes in the spool file, and commits that failed (each retried).
    std::uint64_t spoolBytes() const { return spoolBytes_; }
    long long commitFailures() const { return commitFailures_; }
    // Rows the retention thinned away in this run.
    long long thinnedRows() const { return thinned_; }

private:
    void start();
    void writer();
    bool commit(const StoredPolls& polls);
    void commitFinalFigures();
    StoredPolls rowsOf(const std::vector<PollRecord>& round) const;
    // Writer thread only: the spool and what it holds.
    bool openSpool();
    void spoolRound(const std::vector<PollRecord>& round);
    // Moves the oldest rounds in memory beyond `keep` to the spool; `lock` (on mutex_) is
    // held on entry and on return.
    void spoolRoundsBeyond(std::unique_lock<std::mutex>& lock, std::size_t keep);
    void countSpoolDrops();

    std::unique_ptr<PollDatabase> db_;
    std::string openError_;
    const std::vector<FleetModule>& modules_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<PollRecord> current_;
    std::deque<std::vector<PollRecord>> rounds_;
    bool finishing_ = false;
    StoreLimits limits_;
    std::string spoolPath_;
    std::unique_ptr<MessageSpool> spool_;
    std::deque<long long> spooledCounts_;   // polls per spooled piece, oldest first
    long long dropsSeen_ = 0;
    StoreTally tally_;                      // under mutex_
    std::mutex figuresMutex_;
    Figures figures_;                                   // under figuresMutex_
    std::map<std::string, long long> figuresWritten_;   // writer thread: what the database holds of this run
    std::atomic<std::uint64_t> spoolBytes_{0};
    std::atomic<long long> commitFailures_{0};
    std::atomic<long long> thinned_{0};
    std::thread thread_;
};

} // namespace kavrel::fleet
