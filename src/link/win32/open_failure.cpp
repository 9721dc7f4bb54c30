// GetLastError() and WSAGetLastError() as the reasons the programs explain.
#include "link/open_failure.h"

#include <winsock2.h>
#include <windows.h>

#include "common/win1250.h"

namespace kavrel::link {

OpenFailure serialOpenFailure(int systemCode) {
    switch (static_cast<DWORD>(systemCode)) {
    case 0: return {};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT: return {OpenFailureKind::NoDevice, systemCode};
    // A COM port is opened without sharing: the one another program holds answers with
    // "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return {OpenFailureKind::InUse, systemCode};
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: return {OpenFailureKind::NotSerial, systemCode};
    default: return {OpenFailureKind::Other, systemCode};
    }
}

OpenFailure tcpConnectFailure(int systemCode) {
    switch (systemCode) {
    case 0: return {};
    case WSAECONNREFUSED: return {OpenFailureKind::Refused, systemCode};
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAENETDOWN: return {OpenFailureKind::Unreachable, systemCode};
    case WSAETIMEDOUT: return {OpenFailureKind::TimedOut, systemCode};
    default: return {OpenFailureKind::Other, systemCode};
    }
}

std::string systemErrorText(int systemCode) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, static_cast<DWORD>(systemCode), 0, reinterpret_cast<wchar_t*>(&text), 0,
                                          nullptr);
    std::u16string words;
    if (length > 0 && text) words.assign(reinterpret_cast<const char16_t*>(text), length);
    if (text) ::LocalFree(text);
    while (!words.empty() && (words.back() == u'\r' || words.back() == u'\n' || words.back() == u' ' || words.back() == u'.'))
        words.pop_back();
    return words.empty() ? W("nieznany błąd") : cp1250::fromUtf16(words);
}

std::string permissionRemedy() { return W("sprawdź uprawnienia konta do portu"); }

} // namespace kavrel::link
