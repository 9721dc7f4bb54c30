// The MQTT output against Debian's mosquitto broker, started by the test on a free loopback
// port with persistence on, and a subscriber (mosquitto_sub with a lasting session): every
// poll arrives in order, and when the broker is stopped for a while and started again,
// the polls of that time come from the spool afterwards, none lost.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <thread>

#include "fleet/fleet_poller.h"
#include "fleet/fleet_schema.h"
#include "fleet/fleet_status.h"
#include "fleet/fleet_store.h"
#include "fleet/ha_discovery.h"
#include "fleet/mqtt_publisher.h"
#include "fleet/poll_values.h"
#include "fleet_sims.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::fleet;
using namespace std::chrono_literals;

namespace {

const char* const kBroker = "/usr/sbin/mosquitto";
const char* const kSubscriber = "/usr/bin/mosquitto_sub";
const char* const kPublisher = "/usr/bin/mosquitto_pub";

using kavrel::testing::endProcess;
using kavrel::testing::startProcess;

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class Broker {
public:
    explicit Broker(const std::filesystem::path& folder) : folder_(folder), port_(kavrel::testing::closedPort()) {
        // Started as root, the broker drops to its own user, which must still write its database.
        std::filesystem::permissions(folder, std::filesystem::perms::all);
        std::ofstream(folder / "mosquitto.conf") << "listener " << port_ << " 127.0.0.1\nallow_anonymous true\n"
                                                  << "persistence true\npersistence_location " << folder.string() << "/\n";
    }
    ~Broker() { stop(); }
    int port() const { return port_; }
    bool start() {
        pid_ = startProcess({kBroker, "-c", (folder_ / "mosquitto.conf").string()}, folder_ / "broker.log");
        return pid_ > 0 && eventually([&] { return connectable(); }, 3000ms);
    }
    void stop() { endProcess(pid_); }

private:
    bool connectable() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(static_cast<std::uint16_t>(port_));
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
        ::close(fd);
        return ok;
    }
    std::filesystem::path folder_;
    int port_;
    pid_t pid_ = -1;
};

std::vector<std::string> lines(const std::filesystem::path& file) {
    std::istringstream in(kavrel::testing::readWholeFile(file));
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The "nr" of a pomiar message line ("kavrel/M/pomiar {...,"nr":12,...}").
long long sequenceOf(const std::string& line) {
    const auto at = line.find("\"nr\":");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + 5));
}

TEST(MqttPublisher, EveryPollArrivesInOrderAcrossABrokerRestart) {
    if (!std::filesystem::exists(kBroker) || !std::filesystem::exists(kSubscriber))
        GTEST_SKIP() << "mosquitto and mosquitto-clients are not installed (scripts/setup installs them)";
    const kavrel::testing::TempFolder folder;
    Broker broker(folder.path);
    ASSERT_TRUE(broker.start());
    const std::string port = std::to_string(broker.port());
    // A retained marker tells when the subscriber's subscription is in place.
    pid_t marker = startProcess({kPublisher, "-p", port, "-r", "-q", "1", "-t", "kavrel/test/ready", "-m", "1"}, folder.path / "pub.log");
    ::waitpid(marker, nullptr, 0);
    const auto received = folder.path / "received.txt";
    pid_t subscriber = startProcess(
        {kSubscriber, "-p", port, "-i", "kavrel-test-subscriber", "-c", "-q", "1", "-t", "kavrel/#", "-v"}, received, false);
    ASSERT_TRUE(eventually([&] { return !lines(received).empty(); }, 3000ms));

    kavrel::testing::FleetSims sims;
    sims.add("M1");
    sims.add("M2");
    MqttOptions options;
    options.port = broker.port();
    options.spoolFile = folder.path / "spool";
    kavrel::testing::RecordingSink recorded;
    std::size_t spooledDuringOutage = 0;
    {
        MqttPublisher publisher(options, sims.modules());
        SinkFan sinks;
        sinks.add(publisher);
        sinks.add(recorded);
        FleetTiming timing;
        timing.interval = 100ms;
        FleetPoller poller(sims.modules(), timing, sinks);
        StopRequest stop;
        std::thread polling([&] { poller.run(2000ms, stop); });
        std::this_thread::sleep_for(600ms);
        broker.stop();
        std::this_thread::sleep_for(700ms);
        spooledDuringOutage = publisher.spooled();
        ASSERT_TRUE(broker.start());
        polling.join();
        sinks.finish();
        EXPECT_EQ(publisher.spooled(), 0u) << "everything was taken by the broker before the end";
    }
    EXPECT_GT(spooledDuringOutage, 0u) << "the polls of the outage waited in the spool";

    std::map<std::string, std::size_t> expected;
    for (const auto& r : recorded.records) ++expected[sims.modules()[r.module].name];
    const std::string lastLine = "kavrel/poller/stan offline";
    EXPECT_TRUE(eventually([&] { auto l = lines(received); return !l.empty() && l.back() == lastLine; }, 5000ms));
    endProcess(subscriber);

    // Per module: the polls 1..N, each first seen after the one before it (QoS 1 may repeat
    // a message whose acknowledgement the broker's stop cut off; it never skips or reorders).
    std::map<std::string, std::vector<long long>> seen;
    std::vector<std::string> states;
    for (const auto& line : lines(received)) {
        if (line.find("/pomiar ") != std::string::npos) {
            const std::string name = line.substr(7, line.find('/', 7) - 7);
            auto& numbers = seen[name];
            const long long nr = sequenceOf(line);
            if (std::find(numbers.begin(), numbers.end(), nr) == numbers.end()) numbers.push_back(nr);
        } else if (line.find("/stan ") != std::string::npos) {
            states.push_back(line);
        }
    }
    for (const auto& [name, count] : expected) {
        std::vector<long long> all(count);
        std::iota(all.begin(), all.end(), 1);
        EXPECT_EQ(seen[name], all) << name;
    }
    EXPECT_NE(std::find(states.begin(), states.end(), "kavrel/M1/stan online"), states.end());
    EXPECT_NE(std::find(states.begin(), states.end(), "kavrel/M1/stan offline"), states.end());
    EXPECT_NE(std::find(states.begin(), states.end(), "kavrel/M2/stan offline"), states.end());
}

// With discovery, each module's configurations go before its first poll message and once:
// steady polling sends none again.
TEST(MqttPublisher, DiscoveryGoesBeforeTheFirstPollAndNotAgainWhilePollingGoesOn) {
    if (!std::filesystem::exists(kBroker) || !std::filesystem::exists(kSubscriber))
        GTEST_SKIP() << "mosquitto and mosquitto-clients are not installed (scripts/setup installs them)";
    const kavrel::testing::TempFolder folder;
    Broker broker(folder.path);
    ASSERT_TRUE(broker.start());
    const std::string port = std::to_string(broker.port());
    pid_t marker = startProcess({kPublisher, "-p", port, "-r", "-q", "1", "-t", "kavrel/test/ready", "-m", "1"}, folder.path / "pub.log");
    ::waitpid(marker, nullptr, 0);
    const auto received = folder.path / "received.txt";
    pid_t subscriber = startProcess({kSubscriber, "-p", port, "-q", "1", "-t", "#", "-v"}, received, false);
    ASSERT_TRUE(eventually([&] { return !lines(received).empty(); }, 3000ms));

    kavrel::testing::FleetSims sims;
    sims.add("M1");
    MqttOptions options;
    options.port = broker.port();
    options.spoolFile = folder.path / "spool";
    options.homeAssistantDiscovery = true;
    kavrel::testing::RecordingSink recorded;
    {
        MqttPublisher publisher(options, sims.modules());
        SinkFan sinks;
        sinks.add(publisher);
        sinks.add(recorded);
        FleetTiming timing;
        timing.interval = 100ms;
        FleetPoller poller(sims.modules(), timing, sinks);
        StopRequest stop;
        poller.run(800ms, stop);
        sinks.finish();
    }
    EXPECT_TRUE(eventually([&] { auto l = lines(received); return !l.empty() && l.back() == "kavrel/poller/stan offline"; }, 5000ms));
    endProcess(subscriber);
    const auto answered = std::find_if(recorded.records.begin(), recorded.records.end(),
                                       [](const PollRecord& r) { return r.outcome == Outcome::Ok; });
    ASSERT_NE(answered, recorded.records.end());
    const auto expected = discoveryMessages(pollValues(*answered, sims.modules()[0].settings), sims.modules()[0]);
    std::vector<std::string> configs;
    std::size_t polls = 0;
    for (const auto& line : lines(received)) {
        if (line.starts_with("homeassistant/")) {
            EXPECT_EQ(polls, 0u) << "a configuration after a poll: " << line;
            configs.push_back(line);
        }
        polls += line.starts_with("kavrel/M1/pomiar ");
    }
    EXPECT_GT(polls, 3u);
    ASSERT_EQ(configs.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(configs[i], expected[i].topic + " " + expected[i].payload);
}

} // namespace

// A broker away and a small spool: the messages dropped to make room are counted, and the
// count reaches the database that `fleet status` reads.
TEST(MqttPublisher, MessagesDroppedFromAFullSpoolAreCountedInTheDatabase) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    sims.addRefusing("M1");
    MqttOptions options;
    options.port = kavrel::testing::closedPort();
    options.spoolFile = folder.path / "spool";
    options.spoolLimitBytes = 2048;
    const std::string dbPath = (folder.path / "fleet.db").string();
    long long dropped = 0;
    {
        FleetStore store(dbPath, sims.modules());
        MqttPublisher publisher(options, sims.modules());
        store.setFigures([&publisher] {
            return std::vector<std::pair<std::string, long long>>{{kMqttDroppedFigure, publisher.droppedFromSpool()}};
        });
        PollRecord poll;
        poll.outcome = Outcome::Refused;
        for (int i = 0; i < 60; ++i) {
            poll.sequence = i;
            publisher.record(poll);
            store.record(poll);
        }
        ASSERT_TRUE(eventually([&] { return publisher.droppedFromSpool() > 0; }, 3000ms));
        publisher.finish();
        dropped = publisher.droppedFromSpool();
        store.finish();
    }
    EXPECT_GT(dropped, 20);
    const FleetStatus status = readFleetStatus(dbPath);
    EXPECT_EQ(status.mqttDropped, dropped);
    EXPECT_EQ(formatPollerFigures(status),
              "Komunikaty MQTT porzucone z pełnej kolejki (--spool-limit): " + std::to_string(dropped) + "\n");
}
