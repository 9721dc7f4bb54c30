// The alarm rules and the evaluator with its storm control, over simulated time: an hour of
// oscillating readings, a whole fleet unreachable, short and long silences.
#include <gtest/gtest.h>

#include "alarm_scenarios.h"
#include "fleet/alarms/alarm_rules.h"
#include "fleet/fleet_list.h"

namespace kavrel::fleet::alarms {
namespace {

using testing::kPollMs;
using testing::SimulatedFleet;

TEST(AlarmRules, ReadsEveryFormAndRefusesABadLineByNumber) {
    const RuleSet set = parseRules("# reguły\n"
                                   "cisza        no-answer for 2m\n"
                                   "zamarzniete  frozen L1 for 1h\n"
                                   "zegar        clock-offset > 120s\n"
                                   "pamiec       memory-fill > 80%\n"
                                   "utracone     holes\n"
                                   "gsm          gsm < 10 for 10m recover gsm >= 14\n"
                                   "L3-wysoko    L3 > 50.0 for 5m recover L3 < 45.0   # z histerezą\n"
                                   "zmiana       config-changed\n"
                                   "L1-stan      module-state L1\n"
                                   "set group-by site\n"
                                   "set group-wait 30s\n"
                                   "set repeat 4h\n"
                                   "set flapping 6 in 15m\n",
                                   "r.txt");
    ASSERT_EQ(set.error, "");
    ASSERT_EQ(set.rules.size(), 9u);
    EXPECT_EQ(set.rules[0].pending, std::chrono::minutes(2));
    EXPECT_EQ(set.rules[2].problem.value, 120);
    const Rule& gsm = set.rules[5];
    EXPECT_EQ(gsm.kind, RuleKind::Gsm);
    EXPECT_TRUE(gsm.problem.holds(9) && !gsm.problem.holds(10));
    ASSERT_TRUE(gsm.recover);
    EXPECT_TRUE(gsm.recover->holds(14) && !gsm.recover->holds(13));
    EXPECT_EQ(set.rules[6].line, 2);
    EXPECT_EQ(set.rules[6].problem.value, 50.0);
    EXPECT_TRUE(set.rules[8].selfReported());
    EXPECT_EQ(set.storm.groupBy, std::vector<std::string>{"site"});
    EXPECT_EQ(set.storm.flapChanges, 6);
    EXPECT_EQ(set.storm.flapWindow, std::chrono::minutes(15));

    for (const auto& [text, line] : std::vector<std::pair<std::string, std::string>>{
             {"a no-answer\nb frozen L9 for 1h\n", "r.txt:2:"},
             {"a L3 > pięćdziesiąt\n", "r.txt:1:"},
             {"a gsm < 10 recover L3 < 4\n", "r.txt:1:"},
             {"a no-answer for 2x\n", "r.txt:1:"},
             {"a holes\na holes\n", "r.txt:2:"},
             {"\n\nset flapping 6 w 15m\n", "r.txt:3:"},
             {"a module-state O7\n", "r.txt:1:"}}) {
        const RuleSet bad = parseRules(text, "r.txt");
        EXPECT_TRUE(bad.error.starts_with(line)) << text << " -> " << bad.error;
        EXPECT_TRUE(bad.rules.empty());
    }
}

TEST(AlarmRules, FleetLinesCarryLabels) {
    const FleetList list = parseFleetList("pompa 10.0.0.7:23 site=Ujęcie-3 customer=Gmina\nkociol 10.0.0.8\n", ".", "f.txt");
    ASSERT_EQ(list.error, "");
    const std::vector<std::pair<std::string, std::string>> want{{"site", "Ujęcie-3"}, {"customer", "Gmina"}};
    EXPECT_EQ(list.modules[0].labels, want);
    EXPECT_TRUE(list.modules[1].labels.empty());
    EXPECT_TRUE(parseFleetList("pompa 10.0.0.7 =x\n", ".", "f.txt").error.starts_with("f.txt:1:"));
}

// 50 modules whose L3 crosses its threshold at every poll for an hour, then stays low.
TEST(AlarmStorm, OscillationForAnHourIsOneFlappingAndOneEnd) {
    const std::string rule = "L3-wysoko L3 > 50.0 recover L3 < 45.0\n";
    // Alternating by the round: the clock's own parity says which half of the swing it is.
    auto swing = [](SimulatedFleet& fleet, long long duration) {
        for (long long end = fleet.now + duration; fleet.now < end;) {
            const bool high = ((fleet.now - testing::kStartMs) / kPollMs) % 2 == 0;
            fleet.round([high](int) { return high ? "55.0" : "40.0"; });
        }
    };

    SimulatedFleet bare(rule + "set flapping off\nset group-wait 0s\n", 50, 5);
    swing(bare, 3'600'000);
    SimulatedFleet calm(rule + "set group-by site\nset group-wait 30s\nset repeat 4h\nset flapping 6 in 15m\n", 50, 5);
    swing(calm, 3'600'000);
    calm.rounds(30 * 60'000, [](int) { return "40.0"; });

    const auto without = bare.counts();
    const auto with = calm.counts();
    ASSERT_EQ(with.size(), 50u);
    for (const auto& [module, states] : with) {
        int total = 0;
        for (const auto& [state, n] : states) total += n;
        EXPECT_LE(total, 2) << module;
        EXPECT_EQ(states.at(NoteState::Flapping), 1) << module;
        EXPECT_EQ(states.at(NoteState::Recovery), 1) << module;
        EXPECT_EQ(without.at(module).at(NoteState::Problem) + without.at(module).at(NoteState::Recovery), 720) << module;
    }
    std::printf("oscillation: %d alerts without storm control (%d per module), %d with (in %zu notifications)\n",
                bare.alerts(), bare.alerts() / 50, calm.alerts(), calm.sent.size());
}

// All 200 modules unreachable for 10 minutes (this computer's link down): one notification
// naming the cause and one recovery; a site's router down: one for that site.
TEST(AlarmStorm, AFleetOrASiteGoneIsOneGroupedNotification) {
    SimulatedFleet fleet("cisza no-answer\nset group-by site\nset group-wait 30s\n", 200, 20);
    auto good = [](int) { return std::string("20.0"); };
    fleet.rounds(5 * 60'000, good);
    fleet.rounds(10 * 60'000, [](int) { return std::string(); });
    fleet.rounds(10 * 60'000, good);
    ASSERT_EQ(fleet.sent.size(), 2u);
    ASSERT_EQ(fleet.alerts(), 2);
    const AlertNote& lost = fleet.sent[0].alerts[0];
    EXPECT_EQ(lost.rule, kConnectivityRule);
    EXPECT_EQ(lost.state, NoteState::Problem);
    EXPECT_EQ(lost.modules.size(), 200u);
    EXPECT_NE(lost.values.find("\"unreachable\":200"), std::string::npos);
    EXPECT_EQ(fleet.sent[1].alerts[0].state, NoteState::Recovery);
    std::printf("200 unreachable for 10 min: %zu notifications (%s, %s)\n", fleet.sent.size(),
                noteStateText(lost.state), noteStateText(fleet.sent[1].alerts[0].state));

    // Site obiekt-3 (10 modules) gone for 10 minutes: its own one notification and recovery.
    fleet.sent.clear();
    fleet.rounds(10 * 60'000, [](int m) { return m % 20 == 3 ? std::string() : std::string("20.0"); });
    fleet.rounds(10 * 60'000, good);
    ASSERT_EQ(fleet.alerts(), 2);
    EXPECT_EQ(fleet.sent[0].alerts[0].rule, kConnectivityRule);
    EXPECT_EQ(fleet.sent[0].alerts[0].modules.size(), 10u);
    EXPECT_EQ((Labels{{"site", "obiekt-3"}}), fleet.sent[0].group);
}

// Silence under a 60 s pending period: 30 s is a late reply, 90 s a problem and its end.
TEST(AlarmStorm, SilenceShorterThanThePendingPeriodSendsNothing) {
    SimulatedFleet fleet("cisza no-answer for 60s\nset group-wait 30s\n", 10, 1);
    auto silentFor = [&fleet](long long ms) {
        const long long from = fleet.now, to = fleet.now + ms;
        fleet.rounds(ms + 5 * 60'000, [&fleet, from, to](int m) {
            const long long t = fleet.now;
            return m == 0 && t >= from && t < to ? std::string() : std::string("1.0");
        });
    };
    fleet.rounds(60'000, [](int) { return std::string("1.0"); });
    silentFor(30'000);
    EXPECT_EQ(fleet.alerts(), 0);
    silentFor(90'000);
    const auto counts = fleet.counts();
    ASSERT_EQ(fleet.alerts(), 2);
    EXPECT_EQ(counts.at("m0").at(NoteState::Problem), 1);
    EXPECT_EQ(counts.at("m0").at(NoteState::Recovery), 1);
    std::printf("silence 30 s: 0 notifications; silence 90 s: %d problem, %d recovery\n",
                counts.at("m0").at(NoteState::Problem), counts.at("m0").at(NoteState::Recovery));
}

// A problem still on is said again after the repeat interval, and only then.
TEST(AlarmStorm, AProblemStillOnIsRepeated) {
    SimulatedFleet fleet("wysoko L3 > 50.0\nset group-wait 10s\nset repeat 1h\n", 1, 1);
    fleet.rounds(150 * 60'000, [](int) { return std::string("60.0"); });
    EXPECT_EQ(fleet.counts().at("m0").at(NoteState::Problem), 3);   // at 10 s, 1 h 10 s, 2 h 10 s
}

} // namespace
} // namespace kavrel::fleet::alarms

namespace kavrel::fleet::alarms {
namespace {

// The state of a lost connection taken over by a restarted service: the first answers
// after the restart end it, with one recovery.
TEST(AlarmStorm, ALostConnectionEndsAfterARestart) {
    const std::string rules = "cisza no-answer\nset group-wait 10s\n";
    std::map<std::pair<std::string, std::string>, std::string> saved;
    auto keep = [&saved](AlarmEngine& engine) {
        for (const StateRow& r : engine.takeDirty()) saved[{r.module, r.rule}] = r.text;
    };
    SimulatedFleet before(rules, 10, 1);
    before.rounds(60'000, [](int) { return std::string("1.0"); });
    before.rounds(3 * 60'000, [](int) { return std::string(); });
    keep(before.engine);
    ASSERT_EQ(before.alerts(), 1);
    EXPECT_EQ(before.sent[0].alerts[0].rule, kConnectivityRule);

    SimulatedFleet after(rules, 10, 1);
    std::vector<StateRow> rows;
    for (const auto& [key, text] : saved) rows.push_back({key.first, key.second, text});
    after.engine.restore(rows);
    after.now = before.now;
    after.rounds(60'000, [](int) { return std::string("1.0"); });
    ASSERT_EQ(after.alerts(), 1);
    EXPECT_EQ(after.sent[0].alerts[0].rule, kConnectivityRule);
    EXPECT_EQ(after.sent[0].alerts[0].state, NoteState::Recovery);
}

} // namespace
} // namespace kavrel::fleet::alarms
