// The COM ports of this computer through SetupAPI, as Device Manager shows them under
// "Ports (COM & LPT)", completed by the registry's SERIALCOMM map.
#include "link/serial_port_info.h"

#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>

namespace kavrel::link {
namespace {

// The COM port device interface (ntddser.h, a driver-kit header MinGW's headers do not compile
// alone): USB modems and CDC adapters that live outside the Ports class expose it.
constexpr GUID kComPortInterface = {0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                          nullptr);
    return result;
}

// A REG_SZ value's text without its terminating zeros.
std::wstring trimmed(std::wstring text) {
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

std::wstring deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = 0;
    DWORD size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
    if (size == 0) return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(text.data()),
                                             size, nullptr) ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return trimmed(text.substr(0, std::wcslen(text.c_str())));
}

std::wstring instanceId(HDEVINFO set, SP_DEVINFO_DATA& device) {
    DWORD size = 0;
    ::SetupDiGetDeviceInstanceIdW(set, &device, nullptr, 0, &size);
    if (size == 0) return {};
    std::wstring text(size, L'\0');
    if (!::SetupDiGetDeviceInstanceIdW(set, &device, text.data(), size, nullptr)) return {};
    return trimmed(text);
}

// The "PortName" value of the device's own registry key: "COM5" (an LPT port has "LPT1").
std::wstring portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD size = sizeof(name) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    return trimmed(name);
}

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
