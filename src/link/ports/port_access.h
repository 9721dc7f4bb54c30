// Whether this user can open a serial device now: the marks of `kavrel ports` and of the
// port picker. A port in use is one another program holds the way serial tools agree on
// (the exclusive open and the advisory lock the link itself takes when it opens).
#pragma once

#include <string>

namespace kavrel::link {

enum class PortAccess {
    Usable,         // it opened and nobody holds it (or the platform cannot tell)
    NoPermission,   // this user may not read and write it (not in the dialout group)
    InUse,          // another program holds it open exclusively or locked
    Absent,         // there is no such device
};

// The permission check, given the path and the system's read-and-write mode: the system's
// access() by default; tests running as root give one that refuses.
using PathAccessCheck = int (*)(const char* path, int mode);

// Looks at the device without changing it: the permission first (no open), then an open
// without waiting for the modem lines and a try of the lock, both undone at once.
PortAccess portAccess(const std::string& device, PathAccessCheck check = nullptr);

// "brak uprawnień", "zajęty przez inny program" (UTF-8), "" when the port is usable or absent
// (an absent device is told by its description).
const char* portAccessMark(PortAccess access);

} // namespace kavrel::link
