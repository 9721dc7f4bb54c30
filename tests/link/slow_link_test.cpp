// Reply limits over a slow link: in the default timing they grow with the connection's round
// trips, in the compatible timing they stay the protocol's.
#include <gtest/gtest.h>

#include <cstdint>

#include "link/handshake.h"
#include "link/round_trip_tracker.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimFixture;

TEST(RoundTripTracker, LimitsGrowWithTheLongestRoundTripOnlyWhenAskedAndNeverShrinkBelowTheProtocol) {
    RoundTripTracker tracker;
    EXPECT_EQ(tracker.limitMs(500, true), 3000u);    // no round trip known yet
    EXPECT_EQ(tracker.limitMs(5000, true), 5000u);   // never below the protocol's value
    EXPECT_EQ(tracker.limitMs(500, false), 500u);    // the compatible timing: the protocol's value
    tracker.measured(900);
    tracker.measured(400);
    EXPECT_EQ(tracker.longestMs(), 900u);
    EXPECT_EQ(tracker.limitMs(500, true), 1800u);
    EXPECT_EQ(tracker.limitMs(300, false), 300u);
    EXPECT_EQ(tracker.limitMs(3000, true), 3000u);
    tracker.measured(IntervalTimer::kNoCounterElapsed);   // a system without a counter: no time at all
    EXPECT_EQ(tracker.longestMs(), 900u);
    tracker.reset();
    EXPECT_FALSE(tracker.longestMs());
    EXPECT_EQ(tracker.limitMs(500, true), 3000u);
}

TEST(SlowLink, MonitorOverTcpSlowerThanItsHalfSecondWorksInTheDefaultTimingOnly) {
    // Every answer 600 ms late: more than the monitor's 500 ms reply limit.
    SimFixture sim({.faults = {.replyDelayMs = 600}});
    for (const SerialTiming timing : {SerialTiming::Fast, SerialTiming::Gap}) {
        ModuleLink link(LinkVariant::monitor());
        link.setConnection(sim.tcp(timing));
        RecordingObserver observer;
        const LinkResult opened = openMonitorLink(link, observer);
        if (timing == SerialTiming::Gap) {
            // The compatible timing keeps 500 ms: the "DEBUG=0" answer arrives in the "VER?" wait.
            EXPECT_NE(opened, LinkResult::Ok);
            continue;
        }
        ASSERT_EQ(opened, LinkResult::Ok);   // the first "DEBUG=0" was given 3 s
        EXPECT_EQ(link.versionText(), "Kavrel V3.6EL");
        link.setShortReplyMode(true);
        EXPECT_EQ(link.query("MSR?"), LinkResult::Ok);
        EXPECT_TRUE(link.receivedText().ends_with("\r")) << link.receivedText();
        ASSERT_TRUE(link.roundTrips().longestMs());
        EXPECT_GE(*link.roundTrips().longestMs(), 590u);
    }
}

TEST(SlowLink, AnAnswerTooLateForItsCommandIsNeverTakenForTheNextOne) {
    // Every answer 700 ms late: beyond a command's 500 ms in the monitor's compatible timing,
    // within a query's 3 s.
    auto lines = std::make_shared<std::vector<std::string>>();
    SimFixture sim({.faults = {.replyDelayMs = 700}, .lineLog = lines});
    ModuleLink link(LinkVariant::monitor());
    link.setConnection(sim.tcp(SerialTiming::Gap));
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_NE(link.sendCommand("VER?"), LinkResult::Ok);
    // The version's answer comes while the next query waits: it must not begin that reply.
    ASSERT_EQ(link.query("SET?"), LinkResult::Ok);
    EXPECT_EQ(link.receivedText().find("Kavrel V3.6EL"), std::string_view::npos) << link.receivedText();
    EXPECT_TRUE(link.receivedText().ends_with("\rOK\r")) << link.receivedText();
    EXPECT_EQ(*lines, (std::vector<std::string>{"VER?", "SET?"}));
    link.close();
}

TEST(SlowLink, ALateSerialAnswerIsDrainedBeforeTheNextLineGoesOut) {
    // Short serial limits in the compatible timing (the default one waits at least 3 s before
    // any round trip is known), so that the test stays short: a command's reply is waited
    // for 340 ms, a query's for seconds; every answer comes 500 ms late.
    LinkVariant shortLimits = LinkVariant::monitor();
    shortLimits.serialTimeouts = {100, 1, 300, 10, 600};
    SimFixture sim({.faults = {.replyDelayMs = 500}});
    ModuleLink link(shortLimits);
    sim.useSerial(link, SerialTiming::Gap);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_NE(link.sendCommand("VER?"), LinkResult::Ok);
    ASSERT_EQ(link.query("SET?"), LinkResult::Ok);
    EXPECT_EQ(link.receivedText().find("Kavrel V3.6EL"), std::string_view::npos) << link.receivedText();
    EXPECT_NE(link.receivedText().find("OK\r"), std::string_view::npos) << link.receivedText();
    link.close();
}

TEST(SlowLink, AnOkBehindAnEarlierAnswerIsNoVersion) {
    // Every other answer ending in "OK" is followed, a moment later, by another "OK": the
    // second one must not be read as the start of the version's reply.
    for (const bool serial : {false, true})
    for (const SerialTiming timing : {SerialTiming::Fast, SerialTiming::Gap}) {
        SCOPED_TRACE(std::string(serial ? "serial " : "TCP ") + kavrel::testing::timingName(timing));
        SimFixture sim({.faults = {.trailingAfterOk = "OK\r"}});
        ModuleLink link(LinkVariant::monitor());
        link.setConnection(serial ? sim.serial(timing) : sim.tcp(timing));
        ASSERT_EQ(link.open(), LinkResult::Ok);
        (void)link.sendCommand("DEBUG=0");
        ASSERT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
        EXPECT_EQ(link.versionText().substr(0, 13), "Kavrel V3.6EL") << link.versionText();
        link.close();
    }
}
