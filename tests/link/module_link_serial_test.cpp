// The link's exchanges over a real pseudo-terminal against the simulator.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/settings_store.h"
#include "link/connection_settings.h"
#include "link/handshake.h"
#include "link/ports/serial_device.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::SimFixture;

class SerialExchange : public ::testing::TestWithParam<SerialTiming> {};

INSTANTIATE_TEST_SUITE_P(BothTimings, SerialExchange, ::testing::ValuesIn(kavrel::testing::kBothSerialTimings),
                         [](const auto& info) { return std::string(kavrel::testing::timingName(info.param)); });

TEST_P(SerialExchange, VersionAndCommandsOverThePseudoTerminal) {
    SimFixture sim({.versionText = "V"});
    ModuleLink link;
    sim.useSerial(link, GetParam());
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::Ok);
    EXPECT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
    // The text after the "OK" line with its CR and NUL shown as spaces.
    EXPECT_EQ(link.versionText(), "V  ");
    EXPECT_EQ(link.query("VER?"), LinkResult::Ok);
    EXPECT_EQ(link.receivedText(), "OK\rV\r");
    link.close();
    EXPECT_FALSE(link.isOpen());
}

TEST_P(SerialExchange, ReplyNotBeginningWithOkIsRefusedEvenWithOkLater) {
    SimFixture sim({.faults = {.badSerialStart = true}});
    ModuleLink link;
    sim.useSerial(link, GetParam());
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::BadReply);
    link.close();
    kavrel::testing::RecordingObserver observer;
    FirmwareVersion version;
    EXPECT_NE(connectModule(link, HandshakePurpose::ReadSettings, observer, version), LinkResult::Ok);
    EXPECT_EQ(observer.only("message"), std::vector<std::string>{"message[warning]: Brak odpowiedzi"});
    EXPECT_EQ(observer.calls.back(), "status: Błąd nawiązywania połączenia");
}

TEST_P(SerialExchange, RepliesInPiecesWithShortPausesAreNeverCutEarly) {
    SimFixture sim;
    ModuleLink link;
    sim.useSerial(link, GetParam());
    ASSERT_EQ(link.open(), LinkResult::Ok);
    ASSERT_EQ(link.query("APN?"), LinkResult::Ok);
    const std::string whole(link.receivedText());
    sim.setFaults({.splitBytes = 3, .splitDelayMs = 30});
    EXPECT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
    EXPECT_EQ(link.versionText(), "Kavrel V3.6EL  ");
    EXPECT_EQ(link.query("APN?"), LinkResult::Ok);
    EXPECT_EQ(link.receivedText(), whole);
}

TEST_P(SerialExchange, TrailingLineEndsAfterOkDoNotDisturbTheNextExchange) {
    for (const char* trailing : {"\r\n", "\n"}) {
        SimFixture sim({.faults = {.trailingAfterOk = trailing}});
        ModuleLink link;
        sim.useSerial(link, GetParam());
        ASSERT_EQ(link.open(), LinkResult::Ok);
        // Each exchange of the gap timing waits out the pause: one round is enough there.
        const int rounds = GetParam() == SerialTiming::Fast ? 3 : 1;
        for (int i = 0; i < rounds; ++i) {
            EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::Ok);
            EXPECT_EQ(link.sendCommand("DEBUG=0"), LinkResult::Ok);
            ASSERT_EQ(link.query("APN?"), LinkResult::Ok);
            EXPECT_EQ(link.receivedText().substr(0, 4), "APN0") << link.receivedText();
            EXPECT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
            EXPECT_EQ(link.versionText().substr(0, 13), "Kavrel V3.6EL");
        }
    }
}

TEST(ModuleLinkSerial, AReplyWithoutAFrameStillEndsAtThePause) {
    SimFixture sim;
    ModuleLink link;
    sim.useSerial(link, SerialTiming::Fast);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    // The version reply never ends with CR "OK" CR: as a query it ends at the pause, whole.
    EXPECT_EQ(link.query("VER?"), LinkResult::Ok);
    EXPECT_EQ(link.receivedText(), "OK\rKavrel V3.6EL\r");
}

TEST_P(SerialExchange, ThePortIsNotShared) {
    SimFixture sim;
    ModuleLink first, second;
    sim.useSerial(first, GetParam());
    sim.useSerial(second, GetParam());
    ASSERT_EQ(first.open(), LinkResult::Ok);
    EXPECT_EQ(second.open(), LinkResult::Failed);
    first.close();
    EXPECT_EQ(second.open(), LinkResult::Ok);
}

TEST(ModuleLinkSerial, PortNumbersMapToDevicePaths) {
    ::unsetenv("KAVREL_COM7");
    EXPECT_EQ(serialDevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(serialDevicePath(7), "/dev/ttyS6");
    MemoryStore settings;
    settings.createKey(kSerialPortsKey);
    settings.write(kSerialPortsKey, "COM7", std::string("/dev/ttyUSB0"));
    EXPECT_EQ(serialDevicePath(7, &settings), "/dev/ttyUSB0");
    ::setenv("KAVREL_COM7", "/dev/pts/99", 1);
    EXPECT_EQ(serialDevicePath(7, &settings), "/dev/pts/99");
    ::unsetenv("KAVREL_COM7");

    // The gap timing is the user's choice under the same key; fast without it.
    MemoryStore empty;
    EXPECT_EQ(loadSerialTiming(empty), SerialTiming::Fast);
    settings.write(kSerialPortsKey, kGapTimingValue, std::uint32_t{1});
    EXPECT_EQ(loadSerialTiming(settings), SerialTiming::Gap);
    settings.write(kSerialPortsKey, kGapTimingValue, std::uint32_t{0});
    EXPECT_EQ(loadSerialTiming(settings), SerialTiming::Fast);

    // a missing device is result 1 and leaves the link closed
    ModuleLink link(LinkVariant::configurator(), Connection::serialPort(3, "/dev/kavrel-brak"));
    EXPECT_EQ(link.open(), LinkResult::Failed);
    EXPECT_FALSE(link.isOpen());
}

TEST_P(SerialExchange, LoggerOpeningSwitchesToFastSpeed) {
    SimFixture sim;
    ModuleLink link(LinkVariant::logger());
    sim.useSerial(link, GetParam());
    ASSERT_EQ(link.open(true), LinkResult::Ok);
    EXPECT_EQ(link.serialSpeed(), 115200);
    EXPECT_EQ(link.queryFixed("HALT! DEBUG=0", 3), 3u);
    EXPECT_EQ(link.receivedText(), "OK\r");
    link.close();
    ASSERT_EQ(link.open(false), LinkResult::Ok);
    EXPECT_EQ(link.serialSpeed(), 9600);
}
