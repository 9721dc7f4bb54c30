// The system's reason for a port that does not open, kept from the system call to the
// line the command line prints under the message.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>

#include "link/handshake.h"
#include "link/open_failure.h"
#include "support/recording_observer.h"
#include "support/scripted_transport.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimFixture;

namespace {

// Records the reason line too, which the windows leave out.
struct DetailObserver : RecordingObserver {
    void messageDetail(const std::string& text) override { calls.push_back("detail: " + cp1250::toUtf8(text)); }
};

std::string reasonOf(const ModuleLink& link) { return cp1250::toUtf8(link.openFailureReason()); }

} // namespace

// Each real failure of a serial open, as the system reports it, with its text.
TEST(OpenFailure, SerialOpensKeepTheSystemsReason) {
    ModuleLink missing(LinkVariant::configurator(), Connection::serialDevice("/dev/kavrel-brak"));
    EXPECT_EQ(missing.open(), LinkResult::Failed);
    EXPECT_EQ(missing.openFailure().kind, OpenFailureKind::NoDevice);
    EXPECT_EQ(missing.openFailure().code, ENOENT);
    EXPECT_EQ(reasonOf(missing), "Nie ma urządzenia /dev/kavrel-brak");

    const kavrel::testing::TempFolder temp;
    const std::string plainFile = (temp.path / "notatki.txt").string();
    std::ofstream(plainFile) << "nie port";
    ModuleLink notSerial(LinkVariant::configurator(), Connection::serialDevice(plainFile));
    EXPECT_EQ(notSerial.open(), LinkResult::Failed);
    EXPECT_EQ(notSerial.openFailure().kind, OpenFailureKind::NotSerial);
    EXPECT_EQ(reasonOf(notSerial), plainFile + " nie jest portem szeregowym");

    SimFixture sim;
    ModuleLink first(LinkVariant::configurator(), sim.serial());
    ModuleLink second(LinkVariant::configurator(), sim.serial());
    ASSERT_EQ(first.open(), LinkResult::Ok);
    EXPECT_FALSE(first.openFailure().failed());
    EXPECT_EQ(second.open(), LinkResult::Failed);
    EXPECT_EQ(second.openFailure().kind, OpenFailureKind::InUse);
    EXPECT_EQ(reasonOf(second), "Port " + sim.ptyPath() + " jest zajęty przez inny program");
    first.close();
    EXPECT_EQ(second.open(), LinkResult::Ok);
    EXPECT_FALSE(second.openFailure().failed());   // a success clears the last reason
}

// Through the transport seam: the handshake keeps the message box's text and adds the
// reason after it (a real refused port is in the command line's tests).
TEST(OpenFailure, APortTheUserMayNotOpenNamesTheRemedy) {
    ModuleLink link;
    auto script = kavrel::testing::scriptLink(link, 3);
    script->refuseSerialOpen = true;
    script->serialFailure = serialOpenFailure(EACCES);
    DetailObserver observer;
    EXPECT_NE(readModuleVersion(link, observer), LinkResult::Ok);
    EXPECT_EQ(observer.calls, (std::vector<std::string>{"version: ", "status: ", "progress: 0",
                                                        "message[warning]: Błąd otwarcia portu COM3 !",
                                                        "detail: Brak uprawnień do COM3: dodaj użytkownika do grupy dialout",
                                                        "status: Błąd otwarcia portu COM3 !"}));
}

TEST(OpenFailure, OtherNumbersAndTcpAddresses) {
    EXPECT_EQ(cp1250::toUtf8(openFailureReason(serialOpenFailure(EIO), "/dev/ttyUSB0")),
              "Nie można otworzyć /dev/ttyUSB0: błąd wejścia/wyjścia urządzenia (błąd systemu nr " + std::to_string(EIO) + ")");
    EXPECT_EQ(openFailureReason(serialOpenFailure(0), "/dev/ttyUSB0"), "");
    EXPECT_EQ(tcpConnectFailure(ECONNREFUSED).kind, OpenFailureKind::Refused);
    EXPECT_EQ(tcpConnectFailure(EHOSTUNREACH).kind, OpenFailureKind::Unreachable);

    ModuleLink badAddress(LinkVariant::configurator(), Connection::tcp("nie-adres", 23));
    EXPECT_NE(badAddress.open(), LinkResult::Ok);
    EXPECT_EQ(badAddress.openFailure().kind, OpenFailureKind::BadAddress);
    EXPECT_EQ(reasonOf(badAddress), "Niepoprawny adres nie-adres: podaj adres IP w postaci 192.168.2.1");
}
