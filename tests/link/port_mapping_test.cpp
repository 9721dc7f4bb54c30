// The per-user COM number mapping: what the picker and `kavrel ports` store is what the
// link opens.
#include <gtest/gtest.h>

#include <cstdlib>

#include "link/connection_settings.h"
#include "link/handshake.h"
#include "link/ports/port_mapping.h"
#include "support/recording_observer.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;

TEST(PortMapping, StoredDeviceIsOpenedByTheLinkAndUnmappingRestoresTheDefault) {
    ::unsetenv("KAVREL_COM5");
    kavrel::testing::SimFixture sim;
    MemoryStore store;  // no "Porty" key yet: the first mapping creates it
    ASSERT_TRUE(storeSerialDevicePath(store, 5, sim.ptyPath()));
    EXPECT_EQ(storedSerialDevicePath(store, 5), sim.ptyPath());

    // The mapping is read where the connection is chosen, as the windows do at each operation.
    ModuleLink link(LinkVariant::configurator(), chosenConnection({.comPort = 5}, store));
    kavrel::testing::RecordingObserver observer;
    ASSERT_EQ(readModuleVersion(link, observer), LinkResult::Ok);
    EXPECT_EQ(std::string(link.versionText()).rfind("Kavrel V3.6EL", 0), 0u);

    ASSERT_TRUE(storeSerialDevicePath(store, 5, ""));
    EXPECT_EQ(serialDevicePath(5, &store), "/dev/ttyS4");
    EXPECT_TRUE(storedSerialDevicePaths(store).empty());
}

TEST(PortMapping, RefusesNumbersOutOfRangeAndStoresThatRefuse) {
    MemoryStore store;
    EXPECT_FALSE(storeSerialDevicePath(store, 0, "/dev/ttyUSB0"));
    EXPECT_FALSE(storeSerialDevicePath(store, 256, "/dev/ttyUSB0"));
    EXPECT_TRUE(storeSerialDevicePath(store, 255, "/dev/ttyUSB0"));
    EXPECT_TRUE(storeSerialDevicePath(store, 2, "/dev/ttyACM0"));
    EXPECT_EQ(storedSerialDevicePaths(store),
              (std::vector<std::pair<int, std::string>>{{2, "/dev/ttyACM0"}, {255, "/dev/ttyUSB0"}}));
    store.setReadOnly(true);
    EXPECT_FALSE(storeSerialDevicePath(store, 3, "/dev/ttyUSB1"));
    EXPECT_EQ(storedSerialDevicePath(store, 3), "");
}

TEST(PortMapping, NumbersReachingADeviceFollowMappingsEnvironmentAndDefaults) {
    ::unsetenv("KAVREL_COM1");
    ::unsetenv("KAVREL_COM3");
    ::unsetenv("KAVREL_COM9");
    MemoryStore store;
    storeSerialDevicePath(store, 3, "/dev/ttyUSB0");
    storeSerialDevicePath(store, 9, "/dev/ttyUSB0");
    ::setenv("KAVREL_COM1", "/dev/ttyUSB0", 1);
    const std::vector<std::string> table = comDeviceTable(&store);
    ::unsetenv("KAVREL_COM1");
    ASSERT_EQ(table.size(), 255u);
    EXPECT_EQ(comNumbersReaching("/dev/ttyUSB0", table), (std::vector<int>{1, 3, 9}));
    EXPECT_EQ(comNumbersReaching("/dev/ttyS1", table), (std::vector<int>{2}));
    EXPECT_EQ(comNumbersReaching("/dev/ttyS2", table), (std::vector<int>{}));  // COM3 is mapped away
    EXPECT_TRUE(comNumbersReaching("/dev/ttyACM0", table).empty());
}
