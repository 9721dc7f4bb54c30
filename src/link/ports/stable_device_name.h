// The names of serial devices that survive a replug: the links udev keeps in
// /dev/serial/by-id, one per adapter, named after its maker, model and serial number. A
// COM number stored as such a name reaches the same adapter whatever ttyUSB number it
// comes back as, and two adapters are told apart.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kavrel::link {

inline constexpr const char* kSerialByIdFolder = "/dev/serial/by-id";

// The folder of stable names: KAVREL_SERIAL_BY_ID when set (a test's own tree), else
// /dev/serial/by-id.
std::filesystem::path serialByIdFolder();

struct StableDeviceName {
    std::string device;   // the device the link points at now: /dev/ttyUSB0
    std::string stable;   // the link itself: /dev/serial/by-id/usb-FTDI_..._A50285BI-if00-port0
};

// Every link of the folder with the device it reaches, in name order; links that reach
// nothing (an adapter being unplugged) are left out. No folder: none.
std::vector<StableDeviceName> stableDeviceNames(const std::filesystem::path& folder);

// The stable name of `device` (a device path or itself a stable name), or "" when the
// folder holds none for it.
std::string stableDeviceName(const std::string& device, const std::vector<StableDeviceName>& names);

// Whether two paths reach one device (the same file after links are followed).
bool sameDevice(const std::string& a, const std::string& b);

} // namespace kavrel::link
