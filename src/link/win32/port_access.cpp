#include "link/ports/port_access.h"

#include <windows.h>

#include "common/file_names.h"

namespace kavrel::link {

// A COM port opens only without sharing on Windows, so the probe is an open closed at once:
// one another program holds answers "access denied". The permission check is POSIX's alone.
PortAccess portAccess(const std::string& device, PathAccessCheck) {
    const std::wstring path = pathFromUtf8(device).wstring();
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return PortAccess::Usable;
    }
    switch (::GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return PortAccess::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return PortAccess::Absent;
    default: return PortAccess::Usable;   // nothing the user can act on: no mark
    }
}

} // namespace kavrel::link
