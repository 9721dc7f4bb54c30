// What the system says of each serial device, for the port doctor: gathered from SetupAPI
// and the configuration manager on Windows, from sysfs on Linux, and given by hand in tests.
// Texts are UTF-8.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kavrel::link {

struct PortFacts {
    std::string device;        // "COM5", "/dev/ttyUSB0"
    std::string description;   // "USB Serial Port (COM5)", "FT232R USB UART"
    std::string instanceId;    // Windows: "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"; Linux: the sysfs name
    bool present = true;       // false: a device node left by an adapter that is not plugged in
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    std::optional<int> comNumber;             // Windows: the port's COM number
    std::optional<std::uint32_t> problemCode; // Windows: the configuration manager's problem (0: works)
    std::string driver;          // the driver bound ("FTSER2K", "ftdi_sio"); empty: none
    std::string driverProvider;  // "FTDI"
    std::string driverVersion;   // "2.12.36.4"
    std::optional<int> latencyMs;   // an FTDI adapter's latency timer
    std::string latencyPlace;       // where it is changed: the registry key or the sysfs file
    // Linux: who may open the device node, and what holds it.
    std::string groupName;          // "dialout"
    bool userMayOpen = true;
    std::string heldBy;             // the name of a process that holds it open ("ModemManager")
};

// The serial devices of this computer, also those a broken driver left without a port.
std::vector<PortFacts> gatherPortFacts();

#ifndef _WIN32
// The same from a sysfs tree at `sys` (normally "/sys"), device nodes at `dev` and processes
// at `proc`: tests give a fake tree.
std::vector<PortFacts> gatherSysfsPortFacts(const std::filesystem::path& sys, const std::filesystem::path& dev,
                                            const std::filesystem::path& proc);
#endif

} // namespace kavrel::link
