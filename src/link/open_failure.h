// Why a port did not open or a connection was not made, as the system said it: the cases a
// technician can act on by name, and the system's own number (errno, or GetLastError() on
// Windows) for every other one. The windows keep their short message; the command line
// adds this reason and what to do about it on a line of its own.
#pragma once

#include <string>

namespace kavrel::link {

enum class OpenFailureKind {
    None,           // opened, or nothing was tried
    NoDevice,       // the device does not exist (unplugged, or a wrong name)
    NoPermission,   // the user may not open it
    InUse,          // another program holds it
    NotSerial,      // it exists but is no serial port
    BadAddress,     // TCP: not a dotted IPv4 address
    Refused,        // TCP: nothing listens at that port
    Unreachable,    // TCP: no route to the address
    TimedOut,       // TCP: no answer within the limit
    NameNotFound,   // TCP: the host name has no address (code: 0, or the resolver's error)
    Other,          // see code
};

struct OpenFailure {
    OpenFailureKind kind = OpenFailureKind::None;
    int code = 0;   // the system's number; 0 when the kind says it all

    bool failed() const { return kind != OpenFailureKind::None; }
};

// The platform's error number as a failure of opening a serial device.
OpenFailure serialOpenFailure(int systemCode);
// The platform's error number as a failure of connecting over TCP.
OpenFailure tcpConnectFailure(int systemCode);
// A connect that gave up at its limit: refusals are tried again until then, so the reason
// is the last attempt's (0: none was refused, nothing answered at all).
OpenFailure tcpLimitPassed(int lastSystemCode);
// The system's description of a number, in Polish where we have one, else its own words
// (Windows-1250).
std::string systemErrorText(int systemCode);

// What to do about a permission refused, on this platform (Windows-1250).
std::string permissionRemedy();

// One line, Windows-1250: the reason and the remedy, naming `where` (UTF-8: a device path,
// or the address and port). "" for no failure.
std::string openFailureReason(const OpenFailure& failure, const std::string& where);

} // namespace kavrel::link
