// The device a COM port number stands for on this platform: "\\.\COMn" on Windows; on
// Linux and macOS a device path that the user can point anywhere (a USB adapter, a
// simulator's pseudo-terminal).
#pragma once

#include <string>

namespace kavrel {
class SettingsStore;
}

namespace kavrel::link {

// POSIX: the environment variable KAVREL_COM<n> if set, else the string value "COM<n>"
// under the key "Software\Ostrevan\Kavrel\Porty" of the user's settings if present, else
// /dev/ttyS<n-1>. Windows: "\\.\COM<n>" for every n.
std::string serialDevicePath(int portNumber, const SettingsStore* userSettings = nullptr);

// POSIX: the device KAVREL_COM<n> names, which wins over a stored mapping; "" when the
// variable is not set. Windows: always "".
std::string environmentSerialDevicePath(int portNumber);

// Key of the per-number device overrides in the user's settings.
inline constexpr const char* kSerialPortsKey = "Software\\Ostrevan\\Kavrel\\Porty";

} // namespace kavrel::link
