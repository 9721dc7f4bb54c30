// The alarms' state and spool in the fleet database: a restart (the process killed at any
// point: only committed transactions survive) resumes pending timers and sends nothing twice
// and nothing lost; a mail server away for 10 minutes (by the spool's clock) gets everything
// afterwards, in order.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <fstream>
#include <set>
#include <stdexcept>
#include <thread>

#include "alarm_scenarios.h"
#include "fleet/alarms/alarm_delivery.h"
#include "fleet/alarms/alarm_store.h"
#include "support/child_process.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel::fleet::alarms {
namespace {

using testing::kPollMs;
using testing::SimulatedFleet;

// Runs the fleet's rounds and commits each step as the service's thread does.
struct PersistentFleet {
    AlarmStore store;
    SimulatedFleet fleet;
    PersistentFleet(const std::string& db, const std::string& rules, long long now) : store(db), fleet(rules, 5, 1) {
        fleet.now = now;
        fleet.engine.restore(store.loadState());
    }
    void rounds(long long ms, const std::function<std::string(int)>& reading) {
        for (long long end = fleet.now + ms; fleet.now < end;) {
            const std::size_t before = fleet.sent.size();
            fleet.round(reading);
            const std::vector<Notification> fresh(fleet.sent.begin() + static_cast<long>(before), fleet.sent.end());
            ASSERT_TRUE(store.commit(fleet.engine.takeDirty(), fleet.engine.takeEvents(), fresh)) << store.error();
        }
    }
};

// Takes every notification; with `dieAt` the process "dies" (an exception out of the
// delivery) after the receiver took that one and before the spool noted it.
class Recorder final : public Sender {
public:
    explicit Recorder(std::vector<long long>& ids, long long dieAt = 0) : ids_(ids), dieAt_(dieAt) {}
    std::string name() const override { return "recorder"; }
    std::string send(const Outgoing& n) override {
        ids_.push_back(n.id);
        if (n.id == dieAt_) throw std::runtime_error("killed");
        return "";
    }

private:
    std::vector<long long>& ids_;
    long long dieAt_;
};

std::unique_ptr<AlarmDelivery> deliveryTo(AlarmStore& store, std::vector<long long>& ids, long long dieAt = 0) {
    std::vector<std::unique_ptr<Sender>> senders;
    senders.push_back(std::make_unique<Recorder>(ids, dieAt));
    return std::make_unique<AlarmDelivery>(store, std::move(senders));
}

TEST(AlarmRestart, PendingTimersAndSentStateSurviveAKill) {
    testing::TempFolder dir;
    const std::string db = (dir.path / "fleet.db").string();
    const std::string rules = "cisza no-answer for 60s\nset group-wait 30s\n";
    auto silentM0 = [](int m) { return m == 0 ? std::string() : std::string("1.0"); };
    auto allGood = [](int) { return std::string("1.0"); };
    long long now = testing::kStartMs;
    long long silenceStart = 0;
    {
        PersistentFleet run(db, rules, now);
        run.rounds(60'000, allGood);
        silenceStart = run.fleet.now;
        run.rounds(30'000, silentM0);   // killed 30 s into the pending period
        now = run.fleet.now;
        EXPECT_TRUE(run.fleet.sent.empty());
    }
    {
        // The pending timer goes on: the alarm is due 60 s after the silence began, not 60 s
        // after the restart, and says since when.
        PersistentFleet run(db, rules, now);
        run.rounds(65'000, silentM0);
        ASSERT_EQ(run.fleet.sent.size(), 1u);
        EXPECT_EQ(run.fleet.sent[0].alerts[0].state, NoteState::Problem);
        EXPECT_EQ(run.fleet.sent[0].alerts[0].sinceMs, silenceStart);
        EXPECT_EQ(run.fleet.sent[0].createdMs, silenceStart + 90'000);
        now = run.fleet.now;
    }
    {
        // Killed after the problem went out: still silent, nothing twice; then one recovery.
        PersistentFleet run(db, rules, now);
        run.rounds(60'000, silentM0);
        EXPECT_TRUE(run.fleet.sent.empty());
        run.rounds(60'000, allGood);
        ASSERT_EQ(run.fleet.sent.size(), 1u);
        EXPECT_EQ(run.fleet.sent[0].alerts[0].state, NoteState::Recovery);
    }
}

TEST(AlarmRestart, ADeliveryCutByAKillIsSentAgainWithItsNumberAndNothingElseTwice) {
    testing::TempFolder dir;
    const std::string db = (dir.path / "fleet.db").string();
    std::vector<long long> received;
    {
        AlarmStore store(db);
        deliveryTo(store, received);   // the destination is known before anything is made
    }
    {
        PersistentFleet run(db, "wysoko L3 > 50.0\nset group-wait 0s\nset flapping off\n", testing::kStartMs);
        for (const char* v : {"60.0", "10.0", "60.0"}) run.rounds(6 * kPollMs, [v](int) { return std::string(v); });
        ASSERT_EQ(run.fleet.sent.size(), 3u);
    }
    {
        AlarmStore store(db);
        auto delivery = deliveryTo(store, received, 2);
        EXPECT_THROW(delivery->pump(testing::kStartMs), std::runtime_error);
    }
    {
        AlarmStore store(db);
        auto delivery = deliveryTo(store, received);
        delivery->pump(testing::kStartMs + 1000);
        EXPECT_EQ(delivery->waiting(), 0);
    }
    // 2 was on its way when the process died: sent again, with the same number, so that a
    // receiver that keeps numbers (Message-ID, "id") drops it. Nothing lost, nothing else twice.
    EXPECT_EQ(received, (std::vector<long long>{1, 2, 2, 3}));
    std::printf("kill during delivery: received %zu, distinct %zu, lost 0\n", received.size(),
                std::set<long long>(received.begin(), received.end()).size());
}

TEST(AlarmDelivery, AMailServerAwayForTenMinutesGetsEverythingInOrder) {
    if (std::system("/usr/bin/python3 -c 'import aiosmtpd' 2>/dev/null") != 0) GTEST_SKIP() << "python3-aiosmtpd not installed";
    testing::TempFolder dir;
    const std::string db = (dir.path / "fleet.db").string();
    const std::uint16_t port = testing::closedPort();
    const auto received = dir.path / "mail.txt";
    int starts = 0;
    auto startServer = [&] {
        const pid_t pid = testing::startProcess(
            {"/usr/bin/python3", KAVREL_SMTP_RECEIVER, std::to_string(port), received.string()}, dir.path / "smtp.log");
        ++starts;
        for (int i = 0; i < 400; ++i) {
            std::ifstream log(dir.path / "smtp.log");
            int ready = 0;
            for (std::string l; std::getline(log, l);) ready += l == "ready";
            if (ready == starts) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        return pid;
    };
    auto lines = [&] {
        std::vector<std::string> out;
        std::ifstream in(received);
        for (std::string l; std::getline(in, l);) out.push_back(l);
        return out;
    };

    std::string error;
    auto mail = makeSender("smtp://127.0.0.1:" + std::to_string(port) + "?from=floty@example.net&to=dyzurny@example.net",
                           "", error);
    ASSERT_TRUE(mail) << error;
    AlarmStore store(db);
    std::vector<std::unique_ptr<Sender>> senders;
    senders.push_back(std::move(mail));
    AlarmDelivery delivery(store, std::move(senders));

    // A fleet whose L3 goes high and low every 2 minutes makes a notification each time.
    PersistentFleet run(db, "wysoko L3 > 50.0\nset group-wait 0s\nset flapping off\n", testing::kStartMs);
    auto step = [&](long long ms) {
        for (long long end = run.fleet.now + ms; run.fleet.now < end;) {
            const bool high = ((run.fleet.now - testing::kStartMs) / 120'000) % 2 == 0;
            run.rounds(kPollMs, [high](int) { return std::string(high ? "60.0" : "10.0"); });
            delivery.pump(run.fleet.now);
        }
    };
    pid_t server = startServer();
    step(4 * 60'000);
    const std::size_t before = lines().size();
    EXPECT_EQ(before, 2u);
    testing::endProcess(server);
    step(10 * 60'000);                 // the server away: everything waits in the spool
    EXPECT_EQ(lines().size(), before);
    EXPECT_GE(delivery.waiting(), 5);
    server = startServer();
    step(3 * 60'000);                  // retried at most 2 min apart
    testing::endProcess(server);
    const auto got = lines();
    ASSERT_EQ(got.size(), run.fleet.sent.size());
    long long last = 0;
    for (const auto& l : got) {
        const long long id = std::atoll(l.c_str() + l.find("alarm-") + 6);
        EXPECT_EQ(id, last + 1) << l;
        last = id;
    }
    std::printf("mail server away 10 min: %zu notifications made, %zu delivered, in order\n", run.fleet.sent.size(),
                got.size());
}

} // namespace
} // namespace kavrel::fleet::alarms

namespace kavrel::fleet::alarms {
namespace {

// A webhook that refuses once: the same notification again after 10 s by the spool's
// clock, the rest behind it in order, every attempt in alarm_deliveries.
TEST(AlarmDelivery, AWebhookThatRefusesGetsItAgainInOrder) {
    testing::TempFolder dir;
    const std::string db = (dir.path / "fleet.db").string();
    const std::uint16_t port = testing::closedPort();
    const auto received = dir.path / "posts.txt";
    pid_t server = testing::startProcess(
        {"/usr/bin/python3", KAVREL_HTTP_RECEIVER, std::to_string(port), received.string()}, dir.path / "http.log");
    for (int i = 0; i < 400 && testing::readWholeFile(dir.path / "http.log").find("ready") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    std::string error;
    std::vector<std::unique_ptr<Sender>> senders;
    senders.push_back(makeSender("http://127.0.0.1:" + std::to_string(port) + "/alarmy", "", error));
    ASSERT_TRUE(senders[0]) << error;
    AlarmStore store(db);
    AlarmDelivery delivery(store, std::move(senders));
    {
        PersistentFleet run(db, "wysoko L3 > 50.0\nset group-wait 0s\nset flapping off\n", testing::kStartMs);
        for (const char* v : {"60.0", "10.0", "60.0"}) run.rounds(6 * kPollMs, [v](int) { return std::string(v); });
    }
    EXPECT_EQ(delivery.pump(testing::kStartMs), testing::kStartMs + 10'000);   // refused: again in 10 s
    EXPECT_EQ(delivery.pump(testing::kStartMs + 5'000), testing::kStartMs + 10'000);
    EXPECT_EQ(delivery.pump(testing::kStartMs + 10'000), 0);
    testing::endProcess(server);
    std::vector<std::string> posts;
    std::ifstream in(received);
    for (std::string l; std::getline(in, l);) posts.push_back(l);
    ASSERT_EQ(posts.size(), 3u);
    for (std::size_t i = 0; i < posts.size(); ++i)
        EXPECT_TRUE(posts[i].starts_with("application/json; charset=utf-8 {\"id\":" + std::to_string(i + 1) + ","))
            << posts[i];
    EXPECT_NE(posts[1].find("\"state\":\"recovery\""), std::string::npos);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    std::string log;
    sqlite3_exec(
        raw, "SELECT outbox_id, attempt, outcome, error FROM alarm_deliveries ORDER BY id",
        [](void* out, int n, char** values, char**) {
            for (int i = 0; i < n; ++i) *static_cast<std::string*>(out) += std::string(values[i] ? values[i] : "") + "|";
            *static_cast<std::string*>(out) += "\n";
            return 0;
        },
        &log, nullptr);
    sqlite3_close(raw);
    EXPECT_EQ(log, "1|1|failed|HTTP: odpowiedź 500|\n1|2|ok||\n2|1|ok||\n3|1|ok||\n");
}

} // namespace
} // namespace kavrel::fleet::alarms

namespace kavrel::fleet::alarms {
namespace {

// What a receiver reads: the JSON object (the first alert at the top, all of them in
// "alerts"), the Polish subject and body, and a retained MQTT message per module.
TEST(AlarmTexts, OneNotificationAsEachDestinationTakesIt) {
    Notification n;
    n.createdMs = testing::kStartMs;
    n.group = {{"site", "Ujęcie-3"}};
    AlertNote a;
    a.module = "pompa";
    a.labels = {{"site", "Ujęcie-3"}, {"customer", "Gmina"}};
    a.rule = "L3-wysoko";
    a.sinceMs = testing::kStartMs - 60'000;
    a.values = "{\"L3\":\"55.0°C\"}";
    a.readings = "{\"L1\":\"12.5V\",\"gsm\":20}";
    n.alerts.push_back(a);
    const RenderedNotification r = renderNotification(n, 7);
    EXPECT_EQ(r.subject, "pompa: L3-wysoko: problem");
    EXPECT_TRUE(r.json.starts_with("{\"id\":7,\"created\":\"2027-01-15T08:00:00.000Z\",\"group\":{\"site\":\"Ujęcie-3\"},"
                                   "\"module\":\"pompa\",\"labels\":{\"site\":\"Ujęcie-3\",\"customer\":\"Gmina\"},"
                                   "\"rule\":\"L3-wysoko\",\"state\":\"problem\",\"since\":\"2027-01-15T07:59:00.000Z\","
                                   "\"values\":{\"L3\":\"55.0°C\"},\"readings\":{\"L1\":\"12.5V\",\"gsm\":20},"
                                   "\"self_reported\":false,\"alerts\":[{\"module\":\"pompa\""))
        << r.json;
    EXPECT_NE(r.body.find("Moduł: pompa (site=Ujęcie-3, customer=Gmina)\nReguła: L3-wysoko\nStan: problem\n"),
              std::string::npos)
        << r.body;
    EXPECT_NE(r.body.find("Ostatnie odczyty: {\"L1\":\"12.5V\",\"gsm\":20}"), std::string::npos) << r.body;
    ASSERT_EQ(r.mqtt.size(), 1u);
    EXPECT_EQ(r.mqtt[0].topic, "kavrel/pompa/alarm");

    a.state = NoteState::Recovery;
    a.module = "kociol";
    n.alerts.push_back(a);
    const RenderedNotification two = renderNotification(n, 8);
    EXPECT_EQ(two.subject, "2 alarmy (site=Ujęcie-3): pompa: L3-wysoko: problem ...");
    EXPECT_EQ(two.mqtt.size(), 2u);
    EXPECT_NE(two.body.find("Stan: powrót do normy"), std::string::npos);
}

} // namespace
} // namespace kavrel::fleet::alarms
