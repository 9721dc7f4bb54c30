// The COM ports of this computer through SetupAPI, as Device Manager shows them under
// "Ports (COM & LPT)", completed by the registry's SERIALCOMM map.
#include "link/ports/serial_port_info.h"

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include "link/win32/device_properties.h"

#include <algorithm>
#include <cstdlib>
#include <cwctype>

namespace kavrel::link {
namespace {

using win32::deviceProperty;
using win32::instanceId;
using win32::portName;
using win32::toUtf8;
using win32::trimmed;

// The COM port device interface (ntddser.h, a driver-kit header MinGW's headers do not compile
// alone): USB modems and CDC adapters that live outside the Ports class expose it.
constexpr GUID kComPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

bool isComName(std::wstring_view name) {
    return name.size() > 3 && std::towupper(name[0]) == L'C' && std::towupper(name[1]) == L'O' &&
           std::towupper(name[2]) == L'M' &&
           std::all_of(name.begin() + 3, name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool listed(const std::vector<SerialPortInfo>& ports, const std::string& device) {
    return std::any_of(ports.begin(), ports.end(), [&](const SerialPortInfo& port) { return port.device == device; });
}

void addDevices(std::vector<SerialPortInfo>& ports, const GUID& guid, DWORD flags) {
    HDEVINFO set = ::SetupDiGetClassDevsW(&guid, nullptr, nullptr, DIGCF_PRESENT | flags);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; ::SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const std::wstring name = portName(set, device);
        if (!isComName(name) || listed(ports, toUtf8(name))) continue;
        SerialPortInfo port;
        port.device = toUtf8(name);
        std::wstring description = deviceProperty(set, device, SPDRP_FRIENDLYNAME);
        if (description.empty()) description = deviceProperty(set, device, SPDRP_DEVICEDESC);
        port.description = toUtf8(description);
        port.manufacturer = toUtf8(deviceProperty(set, device, SPDRP_MFG));
        const UsbIdentity usb = parseUsbIdentity(toUtf8(instanceId(set, device)));
        port.vendorId = usb.vendorId;
        port.productId = usb.productId;
        port.serialNumber = usb.serialNumber;
        ports.push_back(std::move(port));
    }
    ::SetupDiDestroyDeviceInfoList(set);
}

// HKLM\HARDWARE\DEVICEMAP\SERIALCOMM: every serial port driver enters its ports here, also
// those without a Plug and Play device (virtual port pairs, Wine's ports).
void addSerialCommMap(std::vector<SerialPortInfo>& ports) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t valueName[256] = {};
        DWORD valueNameSize = 255;
        wchar_t data[64] = {};
        DWORD dataSize = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG status = ::RegEnumValueW(key, index, valueName, &valueNameSize, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS || type != REG_SZ) continue;
        const std::wstring name = trimmed(data);
        if (!isComName(name) || listed(ports, toUtf8(name))) continue;
        SerialPortInfo port;
        port.device = toUtf8(name);
        port.description = toUtf8(valueName);   // the driver's device: "\Device\Serial0"
        ports.push_back(std::move(port));
    }
    ::RegCloseKey(key);
}

int comNumber(const std::string& device) { return std::atoi(device.c_str() + 3); }

} // namespace

std::vector<SerialPortInfo> listSerialPorts() {
    std::vector<SerialPortInfo> ports;
    addDevices(ports, GUID_DEVCLASS_PORTS, 0);
    addDevices(ports, kComPortInterface, DIGCF_DEVICEINTERFACE);
    addSerialCommMap(ports);
    std::sort(ports.begin(), ports.end(),
              [](const SerialPortInfo& a, const SerialPortInfo& b) { return comNumber(a.device) < comNumber(b.device); });
    return ports;
}

} // namespace kavrel::link
