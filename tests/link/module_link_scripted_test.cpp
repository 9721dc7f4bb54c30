// The link's use of its transports, through the scripted double: what open asks the
// platform for, what it reports, and replies given byte for byte.
#include <gtest/gtest.h>

#include "link/handshake.h"
#include "link/serial_reader.h"
#include "support/recording_observer.h"
#include "support/scripted_transport.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::RecordingObserver;
using kavrel::testing::scriptLink;
using kavrel::testing::ScriptedTransport;
using kavrel::testing::TransportScript;
using Calls = std::vector<std::string>;

namespace {

void answerHandshake(kavrel::testing::TransportScript& script, const std::string& version) {
    script.replies["HALT!"] = {"OK\r"};
    script.replies["DEBUG=0"] = {"OK\r"};
    script.replies["VER?"] = {"OK\r" + version + "\r"};
}

} // namespace

TEST(ModuleLinkScripted, RefusedTimeoutsAreReportedByTheConfiguratorAndMonitorOnly) {
    for (const bool refused : {false, true}) {
        ModuleLink link;
        auto script = scriptLink(link, 12);
        script->timeoutsRefused = refused;
        answerHandshake(*script, "Kavrel V2.7E");
        RecordingObserver observer;
        FirmwareVersion version;
        ASSERT_EQ(connectModule(link, HandshakePurpose::ReadSettings, observer, version), LinkResult::Ok);
        EXPECT_EQ(observer.only("message"), refused ? Calls{"message[none]: Błąd wpisu timeouts !"} : Calls{});
        EXPECT_EQ(version.versionCode, 0x27);  // and the port is used as it is
        EXPECT_EQ(script->opened, Calls{"serial COM12 9600"});

        ModuleLink monitor(LinkVariant::monitor());
        auto monitorScript = scriptLink(monitor);
        monitorScript->timeoutsRefused = refused;
        answerHandshake(*monitorScript, "Kavrel V3.6EL");
        RecordingObserver monitorObserver;
        ASSERT_EQ(openMonitorLink(monitor, monitorObserver), LinkResult::Ok);
        EXPECT_EQ(monitorObserver.only("message").size(), refused ? 1u : 0u);

        ModuleLink logger(LinkVariant::logger());
        auto loggerScript = scriptLink(logger);
        loggerScript->timeoutsRefused = refused;
        loggerScript->replies["HALT! DEBUG=0"] = {"OK\r\n"};
        RecordingObserver loggerObserver;
        ASSERT_EQ(openLoggerLink(logger, false, loggerObserver), LinkResult::Ok);
        EXPECT_TRUE(loggerObserver.calls.empty());
    }
}

TEST(ModuleLinkScripted, LoggerSpeedSwitchGoesThroughTheTransportAndItsPausesThroughTheClock) {
    ModuleLink link(LinkVariant::logger());
    auto script = scriptLink(link);
    const FixedClock clock;   // records the pauses instead of taking them
    link.setClock(clock);
    script->input = {"stale"};
    ASSERT_EQ(link.open(true), LinkResult::Ok);
    EXPECT_EQ(script->written, (Calls{"*S115!\r", "*S115!\r"}));
    EXPECT_EQ(script->speeds, std::vector<int>{115200});
    EXPECT_EQ(link.serialSpeed(), 115200);
    EXPECT_TRUE(script->input.empty());  // the settle ends with the input discarded
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{60, 60, 200}));  // behind each switch, then the settle
    link.close();
    EXPECT_EQ(script->closes, 1);

    // The logger's opening closes a link left open and gives the port 100 ms before it opens again.
    script->replies["HALT! DEBUG=0"] = {"OK\r\n"};
    RecordingObserver observer;
    ASSERT_EQ(openLoggerLink(link, false, observer), LinkResult::Ok);
    ASSERT_EQ(openLoggerLink(link, false, observer), LinkResult::Ok);
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{60, 60, 200, 200, 100, 200}));

    // A TCP connection is followed by 50 ms once it is closed.
    link.close();
    link.setConnection(Connection::tcp("10.0.0.5", 2101));
    ASSERT_EQ(link.open(), LinkResult::Ok);
    link.close();
    EXPECT_EQ(clock.sleeps().back(), 50);
    EXPECT_EQ(clock.sleeps().size(), 7u);
}

TEST(ModuleLinkScripted, TcpOpenResultsOfThePlatformPassThrough) {
    for (const TcpConnectResult result : {TcpConnectResult::NotConnected, TcpConnectResult::NoSocketLibrary,
                                          TcpConnectResult::NoSocket, TcpConnectResult::NoNonBlocking}) {
        ModuleLink link;
        auto script = scriptLink(link);
        script->tcpResult = result;
        link.setConnection(Connection::tcp("10.0.0.5", 2101));
        EXPECT_EQ(toInt(link.open()), toInt(result));  // the platform's number passes through
        EXPECT_FALSE(link.isOpen());
        EXPECT_EQ(script->opened, Calls{"tcp 10.0.0.5:2101"});
    }
}

TEST(ModuleLinkScripted, SerialReplyBytesAsGiven) {
    ModuleLink link;
    auto script = scriptLink(link);
    script->replies["VER?"] = {"OK\rV\r"};
    script->replies["HALT!"] = {"\r\nOK\r"};
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
    EXPECT_EQ(link.versionText(), "V  ");   // CR and NUL shown as spaces
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::BadReply);
}

TEST(ModuleLinkScripted, TheSettleTimeShortensOnlyForAModuleThatSendsNothingBehindItsFrames) {
    const auto read = [](TransportScript& script, SettleTime& settle, std::vector<std::string> pieces) {
        script.input.assign(pieces.begin(), pieces.end());
        ScriptedTransport transport(std::shared_ptr<TransportScript>(&script, [](TransportScript*) {}));
        std::uint8_t buffer[64];
        const std::size_t got = readSerialReply(transport, buffer, sizeof buffer, {20, 2000}, ReplyFrame::Command, 9600, settle);
        return std::string(reinterpret_cast<const char*>(buffer), got);
    };
    TransportScript script;
    const std::uint32_t longUs = 3125 + 10000, shortUs = 2084;  // 3 characters + 10 ms; CR LF at 9600 baud

    SettleTime settle;
    EXPECT_EQ(settle.afterFrameUs(9600), longUs);
    EXPECT_EQ(read(script, settle, {"OK"}), "OK");  // no frame: ends at the pause, tells nothing
    for (int i = 0; i < SettleTime::kCleanRepliesNeeded; ++i) {
        EXPECT_EQ(settle.afterFrameUs(9600), longUs) << i;
        EXPECT_EQ(read(script, settle, {"O", "K\r"}), "OK\r");
    }
    EXPECT_EQ(settle.afterFrameUs(9600), shortUs);

    // A line end behind a frame is taken in with it and brings the long time back for good.
    EXPECT_EQ(read(script, settle, {"OK\r", "\n"}), "OK\r\n");
    for (int i = 0; i < SettleTime::kCleanRepliesNeeded; ++i) EXPECT_EQ(read(script, settle, {"OK\r"}), "OK\r");
    EXPECT_EQ(settle.afterFrameUs(9600), longUs);
    settle.reset();  // a new connection learns anew

    // So does a reply that begins with a line end (one that came too late for its reply).
    for (int i = 0; i + 1 < SettleTime::kCleanRepliesNeeded; ++i) read(script, settle, {"OK\r"});
    EXPECT_EQ(read(script, settle, {"\nOK\r"}), "\nOK\r");
    read(script, settle, {"OK\r"});
    EXPECT_EQ(settle.afterFrameUs(9600), longUs);
}
