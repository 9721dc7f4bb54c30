// The fleet's time-series output: each round's polls as line protocol, posted to the
// database's write endpoint (http://HOST:PORT/write?db=DB, nanosecond precision). A round
// goes through a disk spool (the MQTT publisher's) and leaves it only once the database
// has taken it, so a database that is away or restarts loses nothing and gets the rounds
// in order. A round the database refuses outright (HTTP 400: points it cannot parse) is
// counted and said, not sent again. Posts run on the sink's own thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/message_spool.h"
#include "fleet/poll_sink.h"

namespace kavrel::fleet {

struct InfluxOptions {
    std::string host;
    int port = 8086;
    std::string database;
    std::filesystem::path spoolFile;
    std::uint64_t spoolLimitBytes = MessageSpool::kDefaultLimitBytes;
    int requestTimeoutMs = 5000;
    int retryPauseMs = 1000;
    int finishWaitMs = 5000;   // how long a clean end waits for the database to take the rest
};

// "http://HOST[:PORT]/DB" into the options; false when it is not one (UTF-8 reason in `error`).
bool parseInfluxAddress(const std::string& text, InfluxOptions& options, std::string& error);

class InfluxSink final : public PollSink {
public:
    InfluxSink(InfluxOptions options, const std::vector<FleetModule>& modules);
    ~InfluxSink() override;
    InfluxSink(const InfluxSink&) = delete;
    InfluxSink& operator=(const InfluxSink&) = delete;

    void record(const PollRecord& record) override;
    void endRound() override;
    void finish() override;

    // For the tests and the summary.
    std::size_t spooled() const { return spooled_; }
    long long sentRounds() const { return sent_; }
    long long refusedRounds() const { return refused_; }

private:
    void worker();
    // One post of a round; true when it is done with (taken, or refused for good).
    bool post(const std::string& lines, bool& awayReported);

    InfluxOptions options_;
    const std::vector<FleetModule>& modules_;
    std::string round_;   // the round being recorded, on the polling thread only
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::string> incoming_;
    bool finishing_ = false;
    std::atomic<std::size_t> spooled_{0};
    std::atomic<long long> sent_{0};
    std::atomic<long long> refused_{0};
    std::thread thread_;
};

} // namespace kavrel::fleet
