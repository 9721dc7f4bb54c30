// The port doctor's facts on Windows: every device of the Ports class, plugged in or only
// remembered, and every USB device of a serial-chip maker that has a problem (an adapter whose
// driver is missing has no port and sits under "Other devices"), from SetupAPI and the
// configuration manager.
#include "link/ports/port_facts.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "link/ports/serial_port_info.h"
#include "link/win32/device_properties.h"

namespace kavrel::link {
namespace {

using win32::deviceKeyNumber;
using win32::deviceKeyText;
using win32::deviceProperty;
using win32::toUtf8;

// Makers of USB-serial chips: FTDI, Prolific, WCH (CH340), Silicon Labs (CP210x), Microchip.
constexpr std::array<std::uint16_t, 5> kSerialChipVendors{0x0403, 0x067B, 0x1A86, 0x10C4, 0x04D8};

bool isPortsClass(const SP_DEVINFO_DATA& device) { return device.ClassGuid == GUID_DEVCLASS_PORTS; }

struct NodeStatus {
    bool present = false;
    std::uint32_t problem = 0;
};

NodeStatus nodeStatus(SP_DEVINFO_DATA& device) {
    ULONG status = 0, problem = 0;
    if (::CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) != CR_SUCCESS) return {};
    return {true, (status & DN_HAS_PROBLEM) ? static_cast<std::uint32_t>(problem) : 0u};
}

PortFacts factsOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    PortFacts facts;
    const std::wstring id = win32::instanceId(set, device);
    facts.instanceId = toUtf8(id);
    const UsbIdentity usb = parseUsbIdentity(facts.instanceId);
    facts.vendorId = usb.vendorId;
    facts.productId = usb.productId;
    std::wstring description = deviceProperty(set, device, SPDRP_FRIENDLYNAME);
    if (description.empty()) description = deviceProperty(set, device, SPDRP_DEVICEDESC);
    facts.description = toUtf8(description);
    const NodeStatus status = nodeStatus(device);
    facts.present = status.present;
    facts.problemCode = status.problem;
    facts.driver = toUtf8(deviceProperty(set, device, SPDRP_SERVICE));
    facts.driverProvider = toUtf8(deviceKeyText(set, device, DIREG_DRV, L"ProviderName"));
    facts.driverVersion = toUtf8(deviceKeyText(set, device, DIREG_DRV, L"DriverVersion"));
    const std::string port = toUtf8(win32::portName(set, device));
    facts.device = port.empty() ? facts.description : port;
    if (port.size() > 3 && port.compare(0, 3, "COM") == 0) facts.comNumber = std::atoi(port.c_str() + 3);
    if (const auto latency = deviceKeyNumber(set, device, DIREG_DEV, L"LatencyTimer")) {
        facts.latencyMs = static_cast<int>(*latency);
        facts.latencyPlace = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + facts.instanceId + "\\Device Parameters";
    }
    return facts;
}

bool wanted(const SP_DEVINFO_DATA& device, const PortFacts& facts) {
    if (isPortsClass(device)) return facts.device.compare(0, 3, "LPT") != 0;
    // A serial chip's USB device: only when it has a problem (its working port is listed above).
    return facts.vendorId && std::find(kSerialChipVendors.begin(), kSerialChipVendors.end(), *facts.vendorId) != kSerialChipVendors.end() &&
           facts.present && facts.problemCode.value_or(0) != 0;
}

} // namespace

std::vector<PortFacts> gatherPortFacts() {
    std::vector<PortFacts> ports;
    // Without DIGCF_PRESENT: adapters Windows remembers but that are not plugged in come too.
    HDEVINFO set = ::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        PortFacts facts = factsOf(set, device);
        if (wanted(device, facts)) ports.push_back(std::move(facts));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    // Ports without a device node (virtual port pairs, Wine's ports) as the port list finds them.
    for (const SerialPortInfo& port : listSerialPorts()) {
        if (std::any_of(ports.begin(), ports.end(), [&](const PortFacts& known) { return known.device == port.device; }))
            continue;
        PortFacts facts;
        facts.device = port.device;
        facts.description = port.description;
        facts.driver = port.description;   // the driver's device ("\Device\Serial0") stands for its driver
        facts.comNumber = std::atoi(port.device.c_str() + 3);
        ports.push_back(std::move(facts));
    }
    return ports;
}

} // namespace kavrel::link
