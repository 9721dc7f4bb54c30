// The polling run against the simulated module over loopback TCP (and once over a
// pseudo-terminal): handshake, the row countdown, failures blanking and restoring.
// Ticks are called directly; only the tests of silent polls wait for the 500 ms limit.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/win1250.h"
#include "monitor/measurement_log.h"
#include "monitor/poller.h"
#include "support/file_contents.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::monitor;
using kavrel::testing::SimFixture;
using Texts = std::vector<std::string>;

namespace {

class RecordingView final : public MonitorView {
public:
    void refresh(const MonitorDisplay&) override { ++refreshes; }
    void message(const std::string& text, MessageIcon icon) override {
        messages.push_back((icon == MessageIcon::Error ? "error: " : icon == MessageIcon::Warning ? "warning: " : "other: ") +
                           cp1250::toUtf8(text));
    }
    void pollingChanged(bool polling) override { pollingCalls.push_back(polling); }

    int refreshes = 0;
    Texts messages;
    std::vector<bool> pollingCalls;
};

// A simulated module, a monitor link to it and a poller writing its log to a temporary file.
class PollerTest : public ::testing::Test {
protected:
    void start(sim::SimOptions options = {}, bool serial = false,
               link::SerialTiming timing = link::SerialTiming::Fast) {
        sim = std::make_unique<SimFixture>(std::move(options));
        if (serial) sim->useSerial(link, timing);
        else sim->useTcp(link);
        poller.setLogFile(logFile);
    }
    std::vector<std::string> logLines() const {
        const std::string text = kavrel::testing::readWholeFile(logFile);
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(text.substr(at, end - at));
        return lines;
    }
    std::string status() const { return cp1250::toUtf8(poller.display().statusText); }

    const kavrel::testing::TempFolder folder;
    const std::filesystem::path logFile = folder.path / "log.csv";
    std::unique_ptr<SimFixture> sim;
    link::ModuleLink link{link::LinkVariant::monitor()};
    MonitorSettings settings;
    RecordingView view;
    FixedClock clock{LocalDateTime{2024, 5, 6, 7, 8, 9}};
    MonitorPoller poller{link, settings, view, clock};
};

} // namespace

TEST_F(PollerTest, StartHandshakesWritesTheHeaderAndTheFirstRow) {
    start();
    ASSERT_TRUE(poller.startPolling());
    EXPECT_TRUE(poller.polling());
    EXPECT_TRUE(view.messages.empty());
    EXPECT_EQ(view.pollingCalls, std::vector<bool>{true});
    EXPECT_EQ(status(), "Wersja: Kavrel V3.6EL");
    EXPECT_TRUE(poller.display().statusShown);
    EXPECT_EQ(poller.state().answeredPolls, 1);
    EXPECT_EQ(poller.state().rowNumber, 1);
    EXPECT_EQ(poller.state().rowCountdown, 5 * 60 - 5);
    EXPECT_EQ(poller.display().portField, "TCP/IP");

    // The simulator's first poll: L1 in volts, XL1 a temperature, XL5..XL8 two-state lines.
    const MonitorDisplay& shown = poller.display();
    EXPECT_EQ(shown.lines[0].value, "11.95V");
    EXPECT_EQ(shown.extended[0].value, "18.4\xB0" "C");
    EXPECT_EQ(shown.extended[5].value, "HIGH");
    EXPECT_EQ(shown.extended[4].value, "LOW");
    EXPECT_EQ(shown.extended[15].value, "???");
    // The "MSRX=" reply leaves the extended-line state of the "MSR=" reply as it was.
    EXPECT_EQ(poller.snapshot().extMode, 1);
    EXPECT_EQ(poller.snapshot().extHighMask, 0x8020);

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0] + "\r\n", formatLogHeader(settings));
    EXPECT_EQ(lines[1] + "\r\n", formatLogRow(1, clock.now(), poller.snapshot()));
    EXPECT_EQ(lines[1].substr(0, 24), "1 ;2024-05-06 7:08:09 ;1");

    poller.stopPolling();
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(view.pollingCalls, (std::vector<bool>{true, false}));
    poller.pollTick();   // a tick after STOP does nothing
    EXPECT_EQ(poller.state().answeredPolls, 1);
    EXPECT_EQ(poller.display().lines[0].value, "11.95V");   // the readings stay on screen
}

TEST_F(PollerTest, WithAOneMinutePeriodRowsFollowEvery12Ticks) {
    settings.recordPeriod = 1;
    start();
    ASSERT_TRUE(poller.startPolling());
    std::vector<int> rowsAfterTick = {poller.state().rowNumber};
    for (int tick = 2; tick <= 25; ++tick) {
        poller.pollTick();
        rowsAfterTick.push_back(poller.state().rowNumber);
    }
    for (int tick = 1; tick <= 25; ++tick) EXPECT_EQ(rowsAfterTick[tick - 1], (tick - 1) / 12 + 1) << tick;
    EXPECT_EQ(poller.state().answeredPolls, 25);
    EXPECT_EQ(poller.display().rowNumber, 3);
    EXPECT_EQ(poller.display().answeredPolls, 25);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, 3), "1 ;");
    EXPECT_EQ(lines[2].substr(0, 3), "2 ;");
    EXPECT_EQ(lines[3].substr(0, 3), "3 ;");
}

TEST_F(PollerTest, UnansweredTicksCountDownAndAWrongReplyNeverBlanks) {
    settings.recordPeriod = 1;
    sim::SimOptions options;
    options.monitor.wrongReply = true;
    options.monitor.firstFaultyPoll = 2;
    options.monitor.lastFaultyPoll = 14;
    start(options);
    ASSERT_TRUE(poller.startPolling());
    for (int tick = 2; tick <= 14; ++tick) {
        poller.pollTick();
        EXPECT_FALSE(poller.lastPollAnswered());
        EXPECT_EQ(poller.state().failedPolls, 1);   // the exchange itself succeeded
    }
    EXPECT_EQ(poller.state().rowNumber, 1);
    EXPECT_EQ(poller.state().rowCountdown, 0);   // ran out at tick 13 with nobody answering
    EXPECT_FALSE(poller.display().lines[0].value.empty());
    EXPECT_EQ(status(), "Wersja: Kavrel V3.6EL");

    poller.pollTick();   // tick 15: the first answered poll writes the overdue row
    EXPECT_TRUE(poller.lastPollAnswered());
    EXPECT_EQ(poller.state().rowNumber, 2);
    EXPECT_EQ(poller.state().answeredPolls, 15);
    EXPECT_EQ(logLines().size(), 3u);
}

TEST_F(PollerTest, ThreeFailedExchangesBlankTheReadingsAndTheNextReplyRestoresThem) {
    start();
    ASSERT_TRUE(poller.startPolling());
    sim->setFaults({.silentCommands = {"MSR?"}});
    for (int failure = 1; failure <= 3; ++failure) {
        EXPECT_FALSE(poller.display().lines[0].value.empty()) << failure;
        poller.pollTick();
        EXPECT_EQ(poller.state().failedPolls, failure);
    }
    EXPECT_EQ(status(), "Brak połączenia z Kavrel");
    EXPECT_TRUE(poller.display().lines[0].value.empty());
    EXPECT_TRUE(poller.display().extended[0].value.empty());
    EXPECT_EQ(poller.state().answeredPolls, 1);

    sim->setFaults({});
    poller.pollTick();
    EXPECT_EQ(poller.state().failedPolls, 0);
    EXPECT_FALSE(poller.display().lines[0].value.empty());
    EXPECT_FALSE(poller.display().extended[0].value.empty());
    EXPECT_EQ(status(), "Wersja: Kavrel V3.6EL");
    EXPECT_TRUE(poller.polling());
}

TEST_F(PollerTest, WithoutReconnectingAClosedConnectionIsNotReopenedUntilStopAndStart) {
    start();
    poller.setReconnect(false);
    ASSERT_TRUE(poller.startPolling());
    sim->setFaults({.closeMidReply = {"MSR?"}});
    for (int tick = 0; tick < 3; ++tick) poller.pollTick();
    EXPECT_EQ(poller.state().failedPolls, 3);
    EXPECT_EQ(status(), "Brak połączenia z Kavrel");
    sim->setFaults({});
    poller.pollTick();
    EXPECT_EQ(poller.state().failedPolls, 4);
    EXPECT_TRUE(poller.polling());

    poller.stopPolling();
    ASSERT_TRUE(poller.startPolling());   // a new run numbers its rows from 1 again
    EXPECT_TRUE(poller.lastPollAnswered());
    EXPECT_EQ(poller.state().failedPolls, 0);
    EXPECT_EQ(poller.state().rowNumber, 1);
    EXPECT_EQ(logLines().size(), 4u);     // two headers, two rows
}

TEST_F(PollerTest, PollingGoesOnThroughAnAdapterUnpluggedAndBackUnderItsStableName) {
    const std::string byId = (folder.path / "usb-Kavrel_KV0001-if00-port0").string();
    start({}, true);
    sim->linkPty(byId);
    sim->useSerial(link);
    ASSERT_TRUE(poller.startPolling());
    EXPECT_EQ(poller.state().rowNumber, 1);

    sim.reset();   // unplugged: the terminal hangs up and its name reaches nothing
    for (int tick = 0; tick < 3; ++tick) poller.pollTick();
    EXPECT_FALSE(poller.lastPollAnswered());
    EXPECT_EQ(poller.state().failedPolls, 3);
    EXPECT_EQ(status(), "Brak połączenia z Kavrel");
    EXPECT_TRUE(poller.polling());

    // Plugged in again, possibly as another terminal, under the same stable name.
    sim = std::make_unique<SimFixture>();
    sim->linkPty(byId);
    poller.pollTick();
    EXPECT_TRUE(poller.lastPollAnswered());
    EXPECT_EQ(poller.state().failedPolls, 0);
    EXPECT_EQ(poller.display().lines[0].value, "11.95V");
    EXPECT_EQ(status().rfind("Wersja: Kavrel V3.6EL", 0), 0u) << status();
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();   // the reopen is quiet
}

TEST_F(PollerTest, PollingGoesOnAfterTheTcpPeerRestartsOnItsPort) {
    start();
    ASSERT_TRUE(poller.startPolling());
    const int port = sim->port();
    sim.reset();
    sim = std::make_unique<SimFixture>(sim::SimOptions{}, port);
    ASSERT_EQ(sim->port(), port);
    poller.pollTick();   // the old connection is found closed
    EXPECT_EQ(poller.state().failedPolls, 1);
    EXPECT_TRUE(link.connectionLost());
    poller.pollTick();   // and the next tick connects to the new peer
    EXPECT_TRUE(poller.lastPollAnswered());
    EXPECT_EQ(poller.state().answeredPolls, 2);
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();
}

TEST_F(PollerTest, AnyRecordPeriodFromAFileIsCountedWithoutOverflow) {
    settings.recordPeriod = INT32_MAX;
    start();
    ASSERT_TRUE(poller.startPolling());
    EXPECT_EQ(poller.state().rowCountdown, std::int64_t{INT32_MAX} * 60 - 5);
}

TEST_F(PollerTest, WithoutExtendedLinesNothingIsAskedAndTheRowsHave15Columns) {
    sim::SimOptions options;
    options.monitor.extMode = 0;
    start(options);
    ASSERT_TRUE(poller.startPolling());
    for (const auto& line : poller.display().extended) EXPECT_EQ(line.value, "");
    for (const auto& value : poller.extendedReadings().value) EXPECT_EQ(value, "");   // "MSRX?" never answered
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(std::count(lines[0].begin(), lines[0].end(), ';'), 30);
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), ';'), 14);
}

TEST_F(PollerTest, LongTextsAndMissingFieldsFromTheModule) {
    sim::SimOptions options;
    options.monitor.longTexts = true;
    options.monitor.fewFields = true;
    start(options);
    ASSERT_TRUE(poller.startPolling());
    EXPECT_TRUE(poller.lastPollAnswered());
    EXPECT_EQ(poller.snapshot().lineValue[0], "11.95V-ODCZYT-D");
    EXPECT_EQ(poller.snapshot().lineValue[1].size(), 6u);
    EXPECT_EQ(poller.snapshot().smsCount, 0);
    EXPECT_EQ(poller.snapshot().extMode, 0);   // not in the reply: no extended lines
    EXPECT_EQ(poller.state().rowNumber, 1);
}

TEST_F(PollerTest, StartFailuresLeaveTheMonitorIdle) {
    // (A TCP address that refuses is tried again for 5 s; the link's own tests cover it.)
    poller.setLogFile(logFile);
    settings.comPort = 3;
    link.setConnection(link::Connection::serialPort(3, "/dev/kavrel-brak"));
    EXPECT_FALSE(poller.startPolling());
    EXPECT_EQ(view.messages, Texts{"error: Błąd otwarcia portu COM3 !"});
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_TRUE(view.pollingCalls.empty());
    EXPECT_FALSE(poller.polling());
    EXPECT_FALSE(std::filesystem::exists(logFile));
}

TEST_F(PollerTest, NoAnswerToTheVersionQuery) {
    start({.faults = {.silentCommands = {"VER?"}}});
    EXPECT_FALSE(poller.startPolling());
    EXPECT_EQ(view.messages, Texts{"error: Brak odpowiedzi z Kavrel"});
    EXPECT_EQ(status(), "Brak komunikacji z modułem Kavrel");
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(poller.polling());
}

TEST_F(PollerTest, AnUnwritableLogIsReportedAndPollingGoesOn) {
    start();
    poller.setLogFile(folder.path / "brak-katalogu" / "x.csv");
    ASSERT_TRUE(poller.startPolling());
    EXPECT_EQ(view.messages, Texts{"warning: Błąd otwarcia pliku do zapisu!"});
    EXPECT_EQ(poller.display().fileNameField, "BEZ ZAPISU DO PLIKU!");
    EXPECT_TRUE(poller.polling());
    EXPECT_EQ(poller.state().rowNumber, 1);   // the row number is used even though the row is lost
}

TEST_F(PollerTest, PollsOverASerialLine) {
    for (const auto timing : kavrel::testing::kBothSerialTimings) {
        start({}, true, timing);
        ASSERT_TRUE(poller.startPolling()) << kavrel::testing::timingName(timing);
        EXPECT_TRUE(poller.lastPollAnswered());
        EXPECT_EQ(poller.display().portField, "COM1");
        EXPECT_EQ(poller.display().lines[0].value, "11.95V");
        EXPECT_EQ(poller.display().extended[2].value, "GND");
        poller.stopPolling();
    }
}
