// The connection settings the configurator and the monitor keep in the user's settings
// under "Software\Ostrevan\Kavrel": COM port number, serial or TCP, the module's address
// and TCP port.
#pragma once

#include <cstdint>
#include <string>

#include "common/file_result.h"
#include "common/settings_store.h"
#include "link/connection.h"

namespace kavrel::link {

inline constexpr const char* kConnectionKey = "Software\\Ostrevan\\Kavrel";
inline constexpr std::size_t kAddressReadBytes = 256;

struct ConnectionSettings {
    int comPort = 1;
    bool useTcp = false;     // the user's choice of TCP/IP over the serial port
    std::string moduleAddress = "192.168.2.1";
    std::uint32_t tcpPort = 23;
};

// Reads the four values. A missing key is created and the defaults are used; a single
// value that cannot be read keeps its default.
ConnectionSettings loadConnectionSettings(SettingsStore& store);

// The serial timing the user chose: the number value "TrybZgodny" under
// "Software\Ostrevan\Kavrel\Porty", non-zero for the gap timing; fast when missing.
inline constexpr const char* kGapTimingValue = "TrybZgodny";
SerialTiming loadSerialTiming(SettingsStore& store);

// Writes the four values: OpenFailed (nothing saved) when the key cannot be opened,
// WriteFailed when the store refused a value.
FileResult saveConnectionSettings(SettingsStore& store, const ConnectionSettings& settings);

} // namespace kavrel::link

namespace kavrel::link {

// The connection the settings choose: the serial port with the device its number stands for,
// or the module's address; with the user's timing. Both read from the store now.
Connection chosenConnection(const ConnectionSettings& settings, SettingsStore& store);

} // namespace kavrel::link
