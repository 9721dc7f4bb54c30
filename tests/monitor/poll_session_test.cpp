// The monitor window's poll session without the window: START, a tick and STOP against the
// simulated module over loopback TCP, and a START whose connection is refused.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/file_names.h"
#include "common/win1250.h"
#include "monitor/poll_session.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::monitor;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimFixture;

namespace {

MonitorSettings settingsLoggingTo(const std::filesystem::path& file) {
    MonitorSettings settings;
    settings.resultsFile = cp1250::fromUtf8(pathToUtf8(file));
    return settings;
}

} // namespace

TEST(PollSession, StartTickAndStopHandBackWhatTheWindowShows) {
    const kavrel::testing::TempFolder folder;
    const std::filesystem::path log = folder.path / "pomiary.csv";
    SimFixture sim;
    PollSession session(settingsLoggingTo(log), sim.tcp());
    RecordingObserver observer;

    const PollResult started = session.start(observer);
    EXPECT_TRUE(observer.calls.empty());
    EXPECT_TRUE(started.polling);
    EXPECT_TRUE(started.answered);
    EXPECT_EQ(cp1250::toUtf8(started.display.statusText), "Wersja: Kavrel V3.6EL");
    EXPECT_EQ(started.state.answeredPolls, 1);
    EXPECT_TRUE(std::filesystem::exists(log));

    const PollResult ticked = session.tick(observer);
    EXPECT_TRUE(ticked.polling);
    EXPECT_TRUE(ticked.answered);
    EXPECT_EQ(ticked.state.answeredPolls, 2);

    const PollResult stopped = session.stop();
    EXPECT_FALSE(stopped.polling);
    EXPECT_FALSE(session.polling());
}

TEST(PollSession, ARefusedStartShowsTheWindowsDisplayBeforeItsMessage) {
    int port = 0;
    {
        const SimFixture gone;   // a port that was free a moment ago and is closed now
        port = gone.port();
    }
    PollSession session(MonitorSettings{}, link::Connection::tcp("127.0.0.1", static_cast<std::uint32_t>(port)));
    MonitorDisplay before;
    before.statusText = "przed";
    session.showFrom(before);
    RecordingObserver observer;
    std::vector<std::string> shownBeforeMessage;
    session.setShowBeforeMessage([&](const MonitorDisplay& shown) {
        shownBeforeMessage.push_back(shown.statusText + " / calls " + std::to_string(observer.calls.size()));
    });

    const PollResult result = session.start(observer);
    EXPECT_FALSE(result.polling);
    EXPECT_FALSE(result.answered);
    ASSERT_EQ(observer.only("message").size(), 1u) << ::testing::PrintToString(observer.calls);
    EXPECT_EQ(observer.only("message[error]").size(), 1u) << observer.calls.front();
    ASSERT_EQ(shownBeforeMessage.size(), 1u);
    EXPECT_EQ(shownBeforeMessage.front(), "przed / calls 0");
    EXPECT_FALSE(session.stop().polling);
}
