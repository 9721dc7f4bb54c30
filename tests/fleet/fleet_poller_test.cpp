// The fleet's schedule against simulated modules on loopback: healthy modules beside a silent,
// a slow and a refusing one, polled at a short interval into the database, read meanwhile by
// another connection as sqlite3 would. One run of about two seconds answers every question.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "common/win1250.h"
#include "fleet/fleet_poller.h"
#include "fleet/fleet_status.h"
#include "fleet/fleet_store.h"
#include "fleet/poll_json.h"
#include "fleet_sims.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::fleet;
using kavrel::testing::FleetSims;
using kavrel::testing::RecordingSink;

namespace {

constexpr auto kInterval = std::chrono::milliseconds(400);
constexpr auto kRun = std::chrono::milliseconds(2000);
constexpr double kOnTime = 0.25;   // seconds; generous for a loaded machine, far below a queued poll

// The first column of every row of a query, as text ("" for NULL).
std::vector<std::string> column(sqlite3* db, const std::string& sql) {
    std::vector<std::string> out;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) return {"error: " + std::string(sqlite3_errmsg(db))};
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(statement, 0);
        out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
    sqlite3_finalize(statement);
    return out;
}

class FleetRun : public ::testing::Test {
protected:
    void SetUp() override {
        sim::SimOptions silent;
        silent.faults.silent = true;
        sim::SimOptions slow;
        slow.faults.replyDelayMs = 700;   // later than the monitor's 500 ms
        sim::SimOptions plain;
        plain.monitor.extMode = 0;        // no extended lines
        sims.add("H1");
        sims.add("H2");
        sims.add("H3", plain);
        sims.add("SILENT", silent);
        sims.add("SLOW", slow);
        sims.addRefusing("REFUSED");
        modules = sims.modules();
        modules[2].settings.lineName[0] = W("Kocioł");
    }

    FleetSims sims;
    std::vector<FleetModule> modules;
    const kavrel::testing::TempFolder folder;
};

TEST_F(FleetRun, FaultyModulesDelayNoOtherSkipRatherThanQueueAndEveryPollIsARow) {
    const std::string dbPath = (folder.path / "fleet.db").string();
    RecordingSink recorded;
    std::vector<long long> countsSeenWhilePolling;
    {
        FleetStore store(dbPath, modules);
        ASSERT_EQ(store.error(), "");
        SinkFan sinks;
        sinks.add(store);
        sinks.add(recorded);
        FleetTiming timing;
        timing.interval = kInterval;
        FleetPoller poller(modules, timing, sinks);

        // A reader of its own, as sqlite3 or `kavrel fleet status` would be, while polling runs.
        std::atomic<bool> polling{true};
        std::thread reader([&] {
            while (polling) {
                std::this_thread::sleep_for(std::chrono::milliseconds(150));
                const FleetStatus status = readFleetStatus(dbPath);
                if (status.error.empty()) countsSeenWhilePolling.push_back(static_cast<long long>(status.modules.size()));
            }
        });
        StopRequest stop;
        poller.run(kRun, stop);
        polling = false;
        reader.join();
        sinks.finish();
    }
    ASSERT_FALSE(countsSeenWhilePolling.empty());
    EXPECT_EQ(countsSeenWhilePolling.back(), 6) << "the module table is read while the poller writes";

    // Healthy modules: every tick polled, answered and on time, whatever the others do.
    for (std::size_t m = 0; m < 3; ++m) {
        const auto polls = recorded.of(m);
        EXPECT_GE(polls.size(), 4u) << modules[m].name;
        for (const auto& p : polls) {
            EXPECT_EQ(p.outcome, Outcome::Ok) << modules[m].name << " #" << p.sequence;
            EXPECT_LT(p.lateSeconds, kOnTime) << modules[m].name << " #" << p.sequence;
        }
    }
    // The silent and slow modules' polls take about a second: the ticks meanwhile are
    // skipped, and the next poll starts on its own schedule, not when the last one ended.
    for (std::size_t m : {3u, 4u}) {
        // A skipped tick is recorded when it comes, before the poll it waited for ends.
        auto polls = recorded.of(m);
        std::sort(polls.begin(), polls.end(), [](const auto& a, const auto& b) { return a.sequence < b.sequence; });
        std::map<Outcome, int> kinds;
        long long expected = 1;
        for (const auto& p : polls) {
            ++kinds[p.outcome];
            EXPECT_EQ(p.sequence, expected++) << "every tick is polled or skipped, once";
            if (p.outcome != Outcome::Skipped) {
                EXPECT_LT(p.lateSeconds, kOnTime) << modules[m].name;
            }
        }
        EXPECT_GE(kinds[Outcome::NoAnswer], 1) << modules[m].name;
        EXPECT_GE(kinds[Outcome::Skipped], 1) << modules[m].name;
        EXPECT_EQ(kinds[Outcome::Ok], 0) << modules[m].name;
    }
    for (const auto& p : recorded.of(5)) EXPECT_EQ(p.outcome, Outcome::Refused);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    EXPECT_EQ(column(db, "SELECT DISTINCT outcome FROM polls ORDER BY outcome"),
              (std::vector<std::string>{"no answer", "ok", "refused", "skipped"}));
    EXPECT_EQ(column(db, "SELECT count(*) FROM polls"), std::vector<std::string>{std::to_string(recorded.records.size())});
    // A failed poll never carries readings; an answered one carries them all.
    EXPECT_EQ(column(db, "SELECT count(*) FROM polls WHERE outcome != 'ok' AND (l1 IS NOT NULL OR gsm_signal IS NOT NULL "
                         "OR xl1 IS NOT NULL OR l8_state IS NOT NULL)"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(column(db, "SELECT count(*) FROM polls WHERE outcome = 'ok' AND (l8 IS NULL OR gsm_signal IS NULL)"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(column(db, "SELECT DISTINCT l1_name FROM polls WHERE module = 'H3' AND outcome = 'ok'"),
              std::vector<std::string>{"Kocioł"});
    EXPECT_EQ(column(db, "SELECT count(*) FROM polls WHERE module = 'H3' AND xl1_name IS NOT NULL"), std::vector<std::string>{"0"});
    EXPECT_EQ(column(db, "SELECT count(*) FROM polls WHERE module = 'H1' AND outcome = 'ok' AND xl1_name IS NULL"),
              std::vector<std::string>{"0"});
    // The module table counts what the rows say.
    EXPECT_EQ(column(db, "SELECT m.name FROM modules m WHERE m.attempts != (SELECT count(*) FROM polls p WHERE p.module = "
                         "m.name AND p.outcome != 'skipped') OR m.skips != (SELECT count(*) FROM polls p WHERE p.module = "
                         "m.name AND p.outcome = 'skipped') OR m.failures != (SELECT count(*) FROM polls p WHERE p.module = "
                         "m.name AND p.outcome IN ('no answer', 'refused'))"),
              std::vector<std::string>{});
    EXPECT_EQ(column(db, "SELECT name FROM modules WHERE last_good IS NOT NULL ORDER BY name"),
              (std::vector<std::string>{"H1", "H2", "H3"}));
    sqlite3_close(db);

    const FleetStatus status = readFleetStatus(dbPath);
    const std::string table = formatFleetStatus(status.modules);
    EXPECT_NE(table.find("REFUSED"), std::string::npos);
    EXPECT_NE(table.find("odmowa"), std::string::npos);
    for (const auto& m : status.modules)
        if (m.name == "H1") {
            EXPECT_EQ(m.state, "OK");
        }
}

TEST(PollJson, FailedPollCarriesNoReadingsAndTextsAreEscaped) {
    FleetModule module;
    module.name = "K\"1";
    PollRecord record;
    record.started = WallTime{} + std::chrono::milliseconds(1'765'200'000'123);
    record.outcome = Outcome::NoAnswer;
    record.sequence = 7;
    EXPECT_EQ(pollJson(record, module),
              R"({"modul":"K\"1","czas":"2025-12-08T13:20:00.123Z","nr":7,"wynik":"no answer"})");

    record.outcome = Outcome::Ok;
    monitor::MeasurementSnapshot m;
    m.lineValue = {"12.5V", "???", "", "-3.5" + std::string(1, monitor::kDegreeSign) + "C", "1", "2", "3", "4"};
    m.highMask = 1;
    m.outputs = 0b100001;
    m.gsmSignal = 99;
    record.measurement = m;
    module.settings.lineName[1] = W("Linia \"ł\"\x01");
    const std::string json = pollJson(record, module);
    // A renamed line keeps its id; a reading without a unit, or without a number, has no "jednostka".
    EXPECT_NE(json.find(R"({"id":"L1","nazwa":"Linia L1","wartosc":12.5,"jednostka":"V","tekst":"12.5V","stan":"HIGH"})"),
              std::string::npos) << json;
    EXPECT_NE(json.find(R"({"id":"L2","nazwa":"Linia \"ł\"\u0001","tekst":"???","stan":"OK"})"), std::string::npos) << json;
    EXPECT_NE(json.find(R"({"id":"L4","nazwa":"Linia L4","wartosc":-3.5,"jednostka":"°C","tekst":"-3.5°C","stan":"OK"})"),
              std::string::npos) << json;
    EXPECT_NE(json.find(R"({"id":"L5","nazwa":"Linia L5","wartosc":1,"tekst":"1","stan":"OK"})"), std::string::npos) << json;
    EXPECT_NE(json.find(R"("wyjscia":[true,false,false,false,false,true],"alarm":false,"gsm":99,"siec":false)"),
              std::string::npos) << json;
    EXPECT_EQ(json.find("linie_xl"), std::string::npos) << "no extended lines in mode 0";
}

} // namespace
