// Reading what SetupAPI and a device's registry keys hold, as UTF-8 texts: shared by the
// list of COM ports and the port doctor.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <optional>
#include <string>
#include <string_view>

namespace kavrel::link::win32 {

std::string toUtf8(std::wstring_view text);
// A REG_SZ value's text without its terminating zeros.
std::wstring trimmed(std::wstring text);

// A text property of the device (SPDRP_FRIENDLYNAME, SPDRP_SERVICE, ...); empty when it has none.
std::wstring deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property);
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"
std::wstring instanceId(HDEVINFO set, SP_DEVINFO_DATA& device);

// A value of the device's own key (DIREG_DEV: "Device Parameters") or its driver's key (DIREG_DRV).
std::wstring deviceKeyText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which, const wchar_t* name);
std::optional<DWORD> deviceKeyNumber(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which, const wchar_t* name);

// The "PortName" value of the device's own key: "COM5" (an LPT port has "LPT1").
inline std::wstring portName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    return deviceKeyText(set, device, DIREG_DEV, L"PortName");
}

} // namespace kavrel::link::win32
