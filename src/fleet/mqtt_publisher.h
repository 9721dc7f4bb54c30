// The fleet's MQTT output: every poll as JSON on `kavrel/NAME/pomiar` (QoS 1), each
// module's state retained on `kavrel/NAME/stan` ("online", "no answer", "refused"; "offline"
// on a clean end), and the poller's own state retained on `kavrel/poller/stan` ("online"
// while connected; "offline" on a clean end or, through the broker's last will, when the
// poller dies). Every message passes through the disk spool and leaves it only when the
// broker has acknowledged it, so a broker that is away or restarts loses nothing and gets
// everything in order. libmosquitto runs on the publisher's own thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <optional>

#include "fleet/fleet_list.h"
#include "fleet/ha_discovery.h"
#include "fleet/message_spool.h"
#include "fleet/poll_sink.h"

namespace kavrel::fleet {

inline constexpr const char* kPollerStateTopic = "kavrel/poller/stan";

struct MqttOptions {
    std::string host = "127.0.0.1";
    int port = 1883;
    std::filesystem::path spoolFile;
    std::uint64_t spoolLimitBytes = MessageSpool::kDefaultLimitBytes;
    std::string clientId;            // empty: "kavrel-fleet-<pid>"
    int keepAliveSeconds = 10;       // the last will is sent this long (and a half) after the poller dies
    int finishWaitMs = 5000;         // how long a clean end waits for the broker to take the rest
    bool homeAssistantDiscovery = false;   // the discovery configurations of ha_discovery.h
};

// "HOST[:PORT]" into the options; false when the port is not 1..65535.
bool parseBrokerAddress(const std::string& text, MqttOptions& options);

class MqttPublisher final : public PollSink {
public:
    MqttPublisher(MqttOptions options, const std::vector<FleetModule>& modules);
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    const std::string& error() const { return error_; }

    void record(const PollRecord& record) override;
    void endRound() override {}
    // Sends every module's and the poller's "offline", waits a little for the broker to
    // acknowledge what is left, and disconnects; the rest stays spooled for the next run.
    void finish() override;

    // A retained message beside the polls' (the alarms' kavrel/NAME/alarm); any thread.
    void publishRetained(const std::string& topic, const std::string& payload) { post({topic, payload, true}); }

    // For the tests and the summary.
    std::size_t spooled() const { return spooledCount_; }
    long long droppedFromSpool() const { return dropped_; }
    std::uint64_t spoolBytes() const { return spoolBytes_; }
    long long publishFailures() const { return publishFailures_; }

private:
    struct Pending {
        std::string topic;
        std::string payload;
        bool retained;
    };
    void post(Pending message);
    // Says on stderr how many messages the full spool dropped since the last time.
    void reportDrops(long long dropped);
    // The worker's phases: its spool, the messages posted since the last round (true when
    // finish was asked), and what stays for the next run.
    std::unique_ptr<MessageSpool> openWorkerSpool();
    bool takeIncoming(MessageSpool& spool, std::deque<SpooledMessage>& memory, bool connected,
                      std::chrono::steady_clock::time_point nextAttempt);
    void leaveSpool(MessageSpool& spool, std::size_t heldInMemory);
    void worker();

    MqttOptions options_;
    const std::vector<FleetModule>& modules_;
    std::vector<std::string> lastState_;   // per module, used on the polling thread only
    std::optional<HaDiscovery> discovery_; // used on the polling thread only
    std::string error_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Pending> incoming_;
    bool finishing_ = false;
    bool finished_ = false;
    std::atomic<std::size_t> spooledCount_{0};
    std::atomic<long long> dropped_{0};
    std::atomic<std::uint64_t> spoolBytes_{0};
    long long droppedSaid_ = 0;                                   // worker thread only
    std::chrono::steady_clock::time_point droppedSaidAt_{};
    std::atomic<long long> publishFailures_{0};
    std::thread thread_;
};

} // namespace kavrel::fleet
