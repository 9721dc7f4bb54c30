// The opening handshakes of the three programs and their messages, against the simulator.
#include <gtest/gtest.h>

#include "link/handshake.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimFixture;
using Calls = std::vector<std::string>;

// Links with the monitor's 500 ms answer limit keep the failure cases short; the texts
// depend on the operation, not on the variant.

TEST(ConnectModule, ReadingOpensWithTheFourLinesAndParsesTheVersion) {
    SimFixture sim({.versionText = "Kavrel V2.7E"});
    ModuleLink link;
    sim.useTcp(link);
    RecordingObserver observer;
    FirmwareVersion version;
    ASSERT_EQ(connectModule(link, HandshakePurpose::ReadSettings, observer, version), LinkResult::Ok);
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(observer.calls, (Calls{"version: ", "status: ", "progress: 0", "progress: 10", "version: Kavrel V2.7E"}));
    EXPECT_EQ(version, (FirmwareVersion{0x27, true, false, 0}));
}

TEST(ConnectModule, ModuleIgnoringTheFirstHaltAndDebugStillOpens) {
    SimFixture sim({.faults = {.ignoreFirstLines = 2}});
    ModuleLink link(LinkVariant::monitor());
    sim.useTcp(link);
    RecordingObserver observer;
    FirmwareVersion version;
    EXPECT_EQ(connectModule(link, HandshakePurpose::WriteSettings, observer, version), LinkResult::Ok);
    EXPECT_EQ(observer.only("progress"), (Calls{"progress: 0", "progress: 1"}));
    EXPECT_EQ(version.versionCode, 0x36);
}

TEST(ConnectModule, FailureMessagesByStepAndPurpose) {
    struct Case {
        const char* silentOn;
        HandshakePurpose purpose;
        const char* box;
        const char* status;
    };
    const Case cases[] = {
        {"HALT!", HandshakePurpose::ReadSettings, "Brak odpowiedzi", "Błąd nawiązywania połączenia"},
        {"HALT!", HandshakePurpose::WriteSettings, "Brak odpowiedzi z modułu Kavrel", "Błąd nawiązywania połączenia"},
        {"VER?", HandshakePurpose::ReadSettings, "Brak odpowiedzi", "Błąd odczytu wersji"},
        {"VER?", HandshakePurpose::WriteSettings, "Brak odpowiedzi (VER)", "Błąd odczytu wersji"},
    };
    for (const auto& c : cases) {
        SimFixture sim({.faults = {.silentCommands = {c.silentOn}}});
        ModuleLink link(LinkVariant::monitor());
    sim.useTcp(link);
        RecordingObserver observer;
        FirmwareVersion version{0x25, false, false, 0};
        EXPECT_NE(connectModule(link, c.purpose, observer, version), LinkResult::Ok);
        EXPECT_EQ(observer.only("message"), Calls{std::string("message[warning]: ") + c.box}) << c.silentOn;
        EXPECT_EQ(observer.calls.back(), std::string("status: ") + c.status);
        EXPECT_FALSE(link.isOpen());
        EXPECT_EQ(version.versionCode, 0x25);  // no version read: the old one stays
    }
}

TEST(ConnectModule, OpenFailureNamesThePortOrTheNetwork) {
    ModuleLink serial(LinkVariant::configurator(), Connection::serialPort(7, "/dev/kavrel-brak"));
    RecordingObserver observer;
    FirmwareVersion version;
    EXPECT_NE(connectModule(serial, HandshakePurpose::ReadSettings, observer, version), LinkResult::Ok);
    EXPECT_EQ(observer.calls, (Calls{"version: ", "status: ", "progress: 0", "message[warning]: Błąd otwarcia portu COM7 !",
                                     "status: Błąd otwarcia portu COM7 !"}));

    ModuleLink tcp(LinkVariant::configurator(), Connection::tcp("nie-adres", 23));
    RecordingObserver tcpObserver;
    EXPECT_NE(connectModule(tcp, HandshakePurpose::WriteSettings, tcpObserver, version), LinkResult::Ok);
    EXPECT_EQ(tcpObserver.only("message"), Calls{"message[warning]: Brak połączenia przez sieć LAN (TCP/IP)!"});
}

TEST(ReadModuleVersion, ShowsTheTextAndClosesTheLink) {
    SimFixture sim;
    for (const auto timing : kavrel::testing::kBothSerialTimings) {
        ModuleLink link;
        sim.useSerial(link, timing);
        RecordingObserver observer;
        EXPECT_EQ(readModuleVersion(link, observer), LinkResult::Ok);
        EXPECT_EQ(observer.calls, (Calls{"version: ", "status: ", "progress: 0", "progress: 50", "version: Kavrel V3.6EL  ",
                                         "progress: 100", "status: Wersja modułu odczytana"}))
            << kavrel::testing::timingName(timing);
        EXPECT_FALSE(link.isOpen());
    }

    sim.setFaults({.silentCommands = {"VER?"}});
    ModuleLink quick(LinkVariant::monitor());
    sim.useTcp(quick);
    RecordingObserver failed;
    EXPECT_NE(readModuleVersion(quick, failed), LinkResult::Ok);
    EXPECT_EQ(failed.only("message"), Calls{"message[warning]: Brak odpowiedzi z modułu Kavrel"});
    EXPECT_EQ(failed.calls.back(), "status: Błąd odczytu wersji");
}

TEST(MonitorOpening, VersionInTheStatusOrTheNoAnswerMessage) {
    SimFixture sim;
    ModuleLink link(LinkVariant::monitor());
    sim.useTcp(link);
    RecordingObserver observer;
    ASSERT_EQ(openMonitorLink(link, observer), LinkResult::Ok);
    EXPECT_EQ(observer.calls.back(), "status: Wersja: Kavrel V3.6EL");
    link.close();

    sim.setFaults({.silentCommands = {"VER?"}});
    RecordingObserver failed;
    EXPECT_NE(openMonitorLink(link, failed), LinkResult::Ok);
    EXPECT_EQ(failed.calls, (Calls{"message[error]: Brak odpowiedzi z Kavrel", "status: Brak komunikacji z modułem Kavrel"}));
    EXPECT_FALSE(link.isOpen());

    ModuleLink serial(LinkVariant::monitor(), Connection::serialPort(4, "/dev/kavrel-brak"));
    RecordingObserver noPort;
    EXPECT_NE(openMonitorLink(serial, noPort), LinkResult::Ok);
    EXPECT_EQ(noPort.calls, Calls{"message[error]: Błąd otwarcia portu COM4 !"});
}

TEST(LoggerOpening, SendsHaltDebugAndReportsAMissingPort) {
    SimFixture sim;
    ModuleLink link(LinkVariant::logger());
    sim.useTcp(link);
    RecordingObserver observer;
    ASSERT_EQ(openLoggerLink(link, true, observer), LinkResult::Ok);
    EXPECT_TRUE(link.isOpen());
    EXPECT_TRUE(observer.calls.empty());
    // Opening again closes the link first.
    ASSERT_EQ(openLoggerLink(link, true, observer), LinkResult::Ok);

    ModuleLink serial(LinkVariant::logger(), Connection::serialPort(1, "/dev/kavrel-brak"));
    EXPECT_NE(openLoggerLink(serial, false, observer), LinkResult::Ok);
    EXPECT_EQ(observer.calls, Calls{"message[error]: Błąd otwarcia portu COM!"});
}
