// The serial ports present on this computer as the system describes them, without Qt: what
// the port picker and `kavrel ports` list on Windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::link {

struct SerialPortInfo {
    std::string device;         // "COM5"
    std::string description;    // the friendly name: "USB Serial Port (COM5)"
    std::string manufacturer;   // "FTDI"
    std::string serialNumber;   // the USB serial number, "" when the device has none
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
};

// The USB identity inside a device instance id: VID and PID from "VID_0403&PID_6001" (or
// "VID_0403+PID_6001" of a vendor bus) and the serial number, the last part of a USB id when it
// is the device's own ("USB\VID_0403&PID_6001\A50285BI"; Windows makes up ids with '&' for
// devices without one, and those are no serial number).
struct UsbIdentity {
    std::optional<std::uint16_t> vendorId;
    std::optional<std::uint16_t> productId;
    std::string serialNumber;
};
UsbIdentity parseUsbIdentity(std::string_view instanceId);

#ifdef _WIN32
// The COM ports present: the devices of the Ports class and of the COM port interface
// (SetupAPI), then the ports only the registry's SERIALCOMM map names (virtual port drivers
// without a device node). Ordered by COM number; texts in UTF-8.
std::vector<SerialPortInfo> listSerialPorts();
#endif

} // namespace kavrel::link
