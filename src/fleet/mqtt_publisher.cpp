#include "fleet/mqtt_publisher.h"

#include <mosquitto.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <deque>
#include <iostream>

#include "fleet/poll_json.h"

namespace kavrel::fleet {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kInflightWindow = 20;         // messages sent and not yet acknowledged
constexpr std::chrono::milliseconds kReconnectPause{1000};
constexpr std::chrono::seconds kDropReportPause{60};
constexpr std::chrono::milliseconds kConnackWait{3000};
constexpr int kLoopWaitMs = 50;

const char* stateOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok: return "online";
    case Outcome::NoAnswer: return "no answer";
    case Outcome::Refused: return "refused";
    case Outcome::Skipped:
    case Outcome::Busy:
    case Outcome::LocalError: break;   // nothing learnt of the module
    }
    return nullptr;
}

// One connection to the broker: the client, whether the broker accepted it, and the
// messages sent from the spool's head that wait for their acknowledgement.
struct Session {
    struct Sent {
        int mid;
        bool acknowledged;
    };
    mosquitto* client = nullptr;
    bool accepted = false;
    bool lost = false;
    std::deque<Sent> sent;

    ~Session() { drop(); }
    void drop() {
        if (client) mosquitto_destroy(client);
        client = nullptr;
        accepted = false;
        lost = false;
        sent.clear();   // what was not acknowledged is sent again from the spool
    }
};

void onConnect(mosquitto*, void* data, int rc) {
    auto* session = static_cast<Session*>(data);
    session->accepted = rc == 0;
    if (rc != 0) session->lost = true;
}

void onDisconnect(mosquitto*, void* data, int) { static_cast<Session*>(data)->lost = true; }

void onPublish(mosquitto*, void* data, int mid) {
    for (auto& sent : static_cast<Session*>(data)->sent)
        if (sent.mid == mid) sent.acknowledged = true;
}

bool connectSession(Session& session, const MqttOptions& options) {
    session.drop();
    session.client = mosquitto_new(options.clientId.c_str(), true, &session);
    if (!session.client) return false;
    mosquitto_connect_callback_set(session.client, onConnect);
    mosquitto_disconnect_callback_set(session.client, onDisconnect);
    mosquitto_publish_callback_set(session.client, onPublish);
    const std::string offline = "offline";
    mosquitto_will_set(session.client, kPollerStateTopic, static_cast<int>(offline.size()), offline.data(), 1, true);
    // The asynchronous connect does not block on an address that never answers; the loop
    // below completes it or gives up after kConnackWait, so a clean end is never held up.
    if (mosquitto_connect_async(session.client, options.host.c_str(), options.port, options.keepAliveSeconds) !=
        MOSQ_ERR_SUCCESS) {
        session.drop();
        return false;
    }
    const auto until = Clock::now() + kConnackWait;
    while (!session.accepted && !session.lost && Clock::now() < until)
        if (mosquitto_loop(session.client, kLoopWaitMs, 1) != MOSQ_ERR_SUCCESS) session.lost = true;
    if (!session.accepted || session.lost) {
        session.drop();
        return false;
    }
    const std::string online = "online";
    mosquitto_publish(session.client, nullptr, kPollerStateTopic, static_cast<int>(online.size()), online.data(), 1, true);
    return true;
}

} // namespace

bool parseBrokerAddress(const std::string& text, MqttOptions& options) {
    const auto colon = text.rfind(':');
    options.host = text.substr(0, colon);
    if (options.host.empty()) return false;
    if (colon == std::string::npos) return true;
    int port = 0;
    const char* end = text.data() + text.size();
    const auto parsed = std::from_chars(text.data() + colon + 1, end, port);
    if (parsed.ec != std::errc{} || parsed.ptr != end || port < 1 || port > 65535) return false;
    options.port = port;
    return true;
}

MqttPublisher::MqttPublisher(MqttOptions options, const std::vector<FleetModule>& modules)
    : options_(std::move(options)), modules_(modules), lastState_(modules.size()) {
    if (options_.clientId.empty()) options_.clientId = "kavrel-fleet-" + std::to_string(::getpid());
    if (options_.homeAssistantDiscovery) discovery_.emplace(modules.size());
    mosquitto_lib_init();
    thread_ = std::thread([this] { worker(); });
}

MqttPublisher::~MqttPublisher() {
    finish();
    mosquitto_lib_cleanup();
}

void MqttPublisher::post(Pending message) {
    {
        std::lock_guard lock(mutex_);
        incoming_.push_back(std::move(message));
    }
    wake_.notify_one();
}

void MqttPublisher::record(const PollRecord& record) {
    const FleetModule& module = modules_[record.module];
    const std::string base = "kavrel/" + module.name + "/";
    if (discovery_)
        for (SpooledMessage& m : discovery_->changed(record, module)) post({std::move(m.topic), std::move(m.payload), m.retained});
    post({base + "pomiar", pollJson(record, module), false});
    // The fleet service adds modules while it runs (SIGHUP): their states start unknown.
    if (record.module >= lastState_.size()) lastState_.resize(record.module + 1);
    if (const char* state = stateOf(record.outcome); state && lastState_[record.module] != state) {
        lastState_[record.module] = state;
        post({base + "stan", state, true});
    }
}

void MqttPublisher::finish() {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        finished_ = true;
    }
    for (const FleetModule& module : modules_) post({"kavrel/" + module.name + "/stan", "offline", true});
    post({kPollerStateTopic, "offline", true});
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable()) thread_.join();
}

void MqttPublisher::reportDrops(long long dropped) {
    dropped_ = dropped;
    // Said at most once a minute: a long outage drops with every poll.
    const auto now = Clock::now();
    if (dropped <= droppedSaid_ || (droppedSaid_ > 0 && now - droppedSaidAt_ < kDropReportPause)) return;
    std::cerr << "kavrel fleet: kolejka MQTT " << options_.spoolFile.string() << " jest pełna (--spool-limit): porzucono "
              << dropped - droppedSaid_ << " najstarszych komunikatów, razem " << dropped << "\n";
    droppedSaid_ = dropped;
    droppedSaidAt_ = now;
}

namespace {

// Reconnects when the pause after the last attempt is over; false while the broker is away
// (said once, and again when it is back).
bool reachBroker(Session& session, const MqttOptions& options, Clock::time_point now, Clock::time_point& nextAttempt,
                 bool& awayReported) {
    if (session.accepted) return true;
    if (now < nextAttempt) return false;
    if (!connectSession(session, options)) {
        if (!awayReported)
            std::cerr << "kavrel fleet: broker MQTT " << options.host << ":" << options.port
                      << " jest nieosiągalny; komunikaty czekają w " << options.spoolFile.string() << "\n";
        awayReported = true;
        nextAttempt = Clock::now() + kReconnectPause;
        return false;
    }
    if (awayReported) std::cerr << "kavrel fleet: broker MQTT znów osiągalny; wysyłam zachowane komunikaty\n";
    awayReported = false;
    return true;
}

// Sends from the head on, a window at a time: the spool's messages first, then those held
// in memory.
void sendWindow(Session& session, MessageSpool& spool, const std::deque<SpooledMessage>& memory) {
    while (session.sent.size() < kInflightWindow) {
        SpooledMessage message;
        const std::size_t index = session.sent.size();
        if (index < spool.count()) {
            if (!spool.peek(index, message)) break;
        } else if (index - spool.count() < memory.size()) {
            message = memory[index - spool.count()];
        } else {
            break;
        }
        int mid = 0;
        if (mosquitto_publish(session.client, &mid, message.topic.c_str(), static_cast<int>(message.payload.size()),
                              message.payload.data(), 1, message.retained) != MOSQ_ERR_SUCCESS) {
            session.lost = true;
            break;
        }
        session.sent.push_back({mid, false});
    }
}

// A message leaves the spool only once it and every one before it are acknowledged.
void dropAcknowledged(Session& session, MessageSpool& spool, std::deque<SpooledMessage>& memory) {
    while (!session.sent.empty() && session.sent.front().acknowledged) {
        session.sent.pop_front();
        if (spool.count() > 0) spool.popFront();
        else if (!memory.empty()) memory.pop_front();
    }
}

} // namespace

// Another poller's spool is never shared: this one takes a file of its own.
std::unique_ptr<MessageSpool> MqttPublisher::openWorkerSpool() {
    std::unique_ptr<MessageSpool> spool = openOwnSpool(options_.spoolFile, options_.spoolLimitBytes);
    if (spool->isOpen() && spool->path() != options_.spoolFile)
        std::cerr << "kavrel fleet: kolejkę MQTT " << options_.spoolFile.string() << " ma inny proces; komunikaty czekają w "
                  << spool->path().string() << "\n";
    options_.spoolFile = spool->path();
    if (!spool->isOpen())
        std::cerr << "kavrel fleet: nie można otworzyć kolejki MQTT " << options_.spoolFile.string()
                  << "; komunikaty czekają w pamięci, dopóki broker jest niedostępny\n";
    return spool;
}

bool MqttPublisher::takeIncoming(MessageSpool& spool, std::deque<SpooledMessage>& memory, bool connected,
                                 std::chrono::steady_clock::time_point nextAttempt) {
    bool finishing = false;
    {
        std::unique_lock lock(mutex_);
        if (!connected && incoming_.empty())
            wake_.wait_until(lock, std::min(nextAttempt, Clock::now() + std::chrono::milliseconds(200)));
        for (auto& message : incoming_) {
            // Once a message had to be held in memory, the later ones follow it there, in order.
            SpooledMessage spooled{std::move(message.topic), std::move(message.payload), message.retained};
            if (!memory.empty() || !spool.isOpen() || !spool.append(spooled)) memory.push_back(std::move(spooled));
        }
        incoming_.clear();
        finishing = finishing_;
    }
    spooledCount_ = spool.count() + memory.size();
    spoolBytes_ = spool.bytes();
    reportDrops(spool.dropped());
    return finishing;
}

// What is not sent stays in the spool for the next run; an empty spool leaves no file.
void MqttPublisher::leaveSpool(MessageSpool& spool, std::size_t heldInMemory) {
    spooledCount_ = spool.count() + heldInMemory;
    if (spool.isOpen() && spool.count() == 0) {
        std::error_code ignored;
        std::filesystem::remove(options_.spoolFile, ignored);
    }
    if (spooledCount_ > 0)
        std::cerr << "kavrel fleet: " << spooledCount_ << " komunikatów MQTT zostaje w " << options_.spoolFile.string()
                  << " do następnego uruchomienia\n";
}

void MqttPublisher::worker() {
    const std::unique_ptr<MessageSpool> ownSpool = openWorkerSpool();
    MessageSpool& spool = *ownSpool;
    std::deque<SpooledMessage> memory;   // only when the spool file cannot be used
    Session session;
    Clock::time_point nextAttempt = Clock::now();
    Clock::time_point finishBy = Clock::time_point::max();
    bool awayReported = false;
    for (;;) {
        const bool finishing = takeIncoming(spool, memory, session.accepted, nextAttempt);
        const Clock::time_point now = Clock::now();
        if (finishing && finishBy == Clock::time_point::max()) finishBy = now + std::chrono::milliseconds(options_.finishWaitMs);
        const bool drained = spool.count() == 0 && memory.empty();
        // A broker that is away at the end is not waited for: the spool keeps the rest.
        if (finishing && (drained || now >= finishBy || !session.accepted)) break;
        if (!reachBroker(session, options_, now, nextAttempt, awayReported)) continue;
        sendWindow(session, spool, memory);
        if (!session.lost && mosquitto_loop(session.client, kLoopWaitMs, 1) != MOSQ_ERR_SUCCESS) session.lost = true;
        dropAcknowledged(session, spool, memory);
        if (session.lost) {
            ++publishFailures_;
            session.drop();
            nextAttempt = Clock::now() + kReconnectPause;
        }
    }
    if (session.accepted) {
        mosquitto_disconnect(session.client);
        mosquitto_loop(session.client, kLoopWaitMs, 1);
    }
    leaveSpool(spool, memory.size());
}

} // namespace kavrel::fleet
