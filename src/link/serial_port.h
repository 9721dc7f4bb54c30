// Opening a serial device with the module's line settings, and the mapping from the
// COM port numbers the programs use to device paths.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "link/fd_transport.h"

namespace kavrel {
class SettingsStore;
}

namespace kavrel::link {

// Opens the device for exclusive reading and writing and sets 8 data bits, no parity,
// one stop bit, no flow control, raw bytes, at the given speed. nullptr when the device
// is missing, in use or not a terminal.
std::unique_ptr<FdTransport> openSerialPort(const std::string& devicePath, int baud);

// Changes the line speed of an open port (same framing); false when refused.
bool setSerialSpeed(FdTransport& port, int baud);

// The device path of COM port n: the environment variable KAVREL_COM<n> if set, else the
// string value "COM<n>" under the key "Software\Ostrevan\Kavrel\Porty" of the user's
// settings if present, else /dev/ttyS<n-1>.
std::string serialDevicePath(int portNumber, const SettingsStore* userSettings = nullptr);

// Key of the per-number device overrides in the user's settings.
inline constexpr const char* kSerialPortsKey = "Software\\Ostrevan\\Kavrel\\Porty";

using DevicePathResolver = std::function<std::string(int portNumber)>;

} // namespace kavrel::link
