// The link's exchanges over a real pseudo-terminal against the simulator.
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/settings_store.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::SimFixture;

TEST(ModuleLinkSerial, VersionAndCommandsOverThePseudoTerminal) {
    SimFixture sim({.versionText = "V"});
    ModuleLink link;
    sim.useSerial(link);
    ASSERT_EQ(link.open(1), kLinkOk);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.sendCommand("HALT!"), kLinkOk);
    EXPECT_EQ(link.sendCommand("VER?"), kLinkOk);
    // The text after the "OK" line with its CR and NUL shown as spaces.
    EXPECT_EQ(link.versionText(), "V  ");
    EXPECT_EQ(link.query("VER?"), kLinkOk);
    EXPECT_EQ(link.receivedText(), "OK\rV\r");
    link.close();
    EXPECT_FALSE(link.isOpen());
}

TEST(ModuleLinkSerial, ReplyNotBeginningWithOkIsRefusedEvenWithOkLater) {
    SimFixture sim({.faults = {.badSerialStart = true}});
    ModuleLink link;
    sim.useSerial(link);
    ASSERT_EQ(link.open(1), kLinkOk);
    EXPECT_EQ(link.sendCommand("HALT!"), kLinkBadReply);
}

TEST(ModuleLinkSerial, ThePortIsNotShared) {
    SimFixture sim;
    ModuleLink first, second;
    sim.useSerial(first);
    sim.useSerial(second);
    ASSERT_EQ(first.open(1), kLinkOk);
    EXPECT_EQ(second.open(1), kLinkFailed);
    first.close();
    EXPECT_EQ(second.open(1), kLinkOk);
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

    ModuleLink link;  // a missing device is result 1 and leaves the link closed
    link.setDevicePathResolver([](int) { return std::string("/dev/kavrel-brak"); });
    EXPECT_EQ(link.open(3), kLinkFailed);
    EXPECT_FALSE(link.isOpen());
}

TEST(ModuleLinkSerial, LoggerOpeningSwitchesToFastSpeed) {
    SimFixture sim;
    ModuleLink link(LinkVariant::logger());
    sim.useSerial(link);
    ASSERT_EQ(link.open(1, true), kLinkOk);
    EXPECT_EQ(link.serialSpeed(), 115200);
    EXPECT_EQ(link.queryFixed("HALT! DEBUG=0", 3), 3u);
    EXPECT_EQ(link.receivedText(), "OK\r");
    link.close();
    ASSERT_EQ(link.open(1, false), kLinkOk);
    EXPECT_EQ(link.serialSpeed(), 9600);
}
