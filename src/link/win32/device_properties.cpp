#include "link/win32/device_properties.h"

#include <cwchar>

namespace kavrel::link::win32 {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr,
                          nullptr);
    return result;
}

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

std::wstring deviceKeyText(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which, const wchar_t* name) {
    HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, which, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t text[260] = {};
    DWORD size = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return {};
    return trimmed(text);
}

std::optional<DWORD> deviceKeyNumber(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD which, const wchar_t* name) {
    HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, which, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return std::nullopt;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    const LONG status = ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    ::RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

} // namespace kavrel::link::win32
