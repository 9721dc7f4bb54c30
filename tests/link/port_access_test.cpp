// Whether a serial device can be opened now, and the stable names of adapters: the marks
// and names `kavrel ports` and the port picker show, over a real pseudo-terminal and a
// folder of links built as udev builds /dev/serial/by-id.
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <unistd.h>

#include "link/ports/port_access.h"
#include "link/ports/stable_device_name.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::link;
namespace fs = std::filesystem;

namespace {

int refuseReadWrite(const char*, int) {
    errno = EACCES;
    return -1;
}

} // namespace

TEST(PortAccess, APortTheLinkHoldsIsInUseForOthersUntilItIsClosed) {
    kavrel::testing::SimFixture sim;
    EXPECT_EQ(portAccess(sim.ptyPath()), PortAccess::Usable);
    {
        ModuleLink holder;
        sim.useSerial(holder);
        ASSERT_EQ(holder.open(), LinkResult::Ok);
        EXPECT_EQ(portAccess(sim.ptyPath()), PortAccess::InUse);
        // A second link is refused by the lock; a program that takes no lock by the exclusive
        // open (root passes that one, so it is only looked at for other users).
        ModuleLink second;
        sim.useSerial(second);
        EXPECT_NE(second.open(), LinkResult::Ok);
        if (::geteuid() != 0) {
            errno = 0;
            EXPECT_LT(::open(sim.ptyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK), 0);
            EXPECT_EQ(errno, EBUSY);
        }
    }
    // Closed, the port is free again, also for a plain open (the exclusive mark went with it).
    EXPECT_EQ(portAccess(sim.ptyPath()), PortAccess::Usable);
    const int fd = ::open(sim.ptyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(fd, 0);
    if (fd >= 0) {
        // Another serial tool's advisory lock marks the port as well.
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(portAccess(sim.ptyPath()), PortAccess::InUse);
        ::close(fd);
    }
}

TEST(PortAccess, MissingDevicesAndRefusedPermissionAreTold) {
    const kavrel::testing::TempFolder folder;
    EXPECT_EQ(portAccess((folder.path / "ttyUSB9").string()), PortAccess::Absent);
    EXPECT_EQ(portAccess("/dev/kavrel-nonexistent/ttyUSB0"), PortAccess::Absent);
    // Root may open anything: the refusal a user outside dialout meets is given by hand,
    // and the mode-000 file is only tried for other users.
    EXPECT_EQ(portAccess("/dev/null", refuseReadWrite), PortAccess::NoPermission);
    const fs::path locked = folder.path / "ttyS9";
    { std::ofstream(locked.string()) << ""; }
    fs::permissions(locked, fs::perms::none);
    if (::geteuid() != 0) {
        EXPECT_EQ(portAccess(locked.string()), PortAccess::NoPermission);
    }
    EXPECT_STREQ(portAccessMark(PortAccess::NoPermission), "brak uprawnień");
    EXPECT_STREQ(portAccessMark(PortAccess::InUse), "zajęty przez inny program");
    EXPECT_STREQ(portAccessMark(PortAccess::Usable), "");
}

TEST(StableDeviceName, LinksOfTheFolderNameTheDevicesTheyReach) {
    kavrel::testing::SimFixture sim;
    const kavrel::testing::TempFolder folder;
    const fs::path byId = folder.path / "by-id";
    fs::create_directories(byId);
    const fs::path adapter = byId / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    fs::create_symlink(sim.ptyPath(), adapter);
    fs::create_symlink(folder.path / "unplugged", byId / "usb-Prolific_PL2303-if00-port0");

    const std::vector<StableDeviceName> names = stableDeviceNames(byId);
    ASSERT_EQ(names.size(), 1u) << "a link that reaches nothing is left out";
    EXPECT_EQ(names[0].stable, adapter.string());
    EXPECT_EQ(names[0].device, fs::canonical(sim.ptyPath()).string());
    EXPECT_EQ(stableDeviceName(sim.ptyPath(), names), adapter.string());
    EXPECT_EQ(stableDeviceName(adapter.string(), names), adapter.string());
    EXPECT_EQ(stableDeviceName("/dev/ttyS0", names), "");
    EXPECT_TRUE(stableDeviceNames(folder.path / "no-such-folder").empty());

    // The stable name opens the module as its present name does.
    ModuleLink link(LinkVariant::configurator(), Connection::serialPort(1, adapter.string()));
    ASSERT_EQ(link.open(), LinkResult::Ok);
    ASSERT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
    EXPECT_EQ(std::string(link.versionText()).rfind("Kavrel V3.6EL", 0), 0u);
}
