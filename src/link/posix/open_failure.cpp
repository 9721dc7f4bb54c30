// errno as the reasons the programs explain.
#include "link/open_failure.h"

#include <cerrno>
#include <cstring>

#include "common/win1250.h"

namespace kavrel::link {

OpenFailure serialOpenFailure(int systemCode) {
    switch (systemCode) {
    case 0: return {};
    case ENOENT:
    case ENODEV:
    case ENXIO: return {OpenFailureKind::NoDevice, systemCode};
    case EACCES:
    case EPERM: return {OpenFailureKind::NoPermission, systemCode};
    case EBUSY:
    case EWOULDBLOCK: return {OpenFailureKind::InUse, systemCode};   // TIOCEXCL, or another program's lock
    case ENOTTY: return {OpenFailureKind::NotSerial, systemCode};
    default: return {OpenFailureKind::Other, systemCode};
    }
}

OpenFailure tcpConnectFailure(int systemCode) {
    switch (systemCode) {
    case 0: return {};
    case ECONNREFUSED: return {OpenFailureKind::Refused, systemCode};
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN: return {OpenFailureKind::Unreachable, systemCode};
    case ETIMEDOUT: return {OpenFailureKind::TimedOut, systemCode};
    default: return {OpenFailureKind::Other, systemCode};
    }
}

std::string systemErrorText(int systemCode) {
    // The numbers a serial device or a connection meets in the field; the rest in the
    // system's own words.
    switch (systemCode) {
    case EIO: return W("błąd wejścia/wyjścia urządzenia");
    case EINVAL: return W("niepoprawny argument");
    case EMFILE:
    case ENFILE: return W("za dużo otwartych plików");
    case EISDIR: return W("to jest katalog");
    case ENOTDIR: return W("część ścieżki nie jest katalogiem");
    case ENAMETOOLONG: return W("za długa nazwa");
    case ELOOP: return W("za dużo dowiązań symbolicznych");
    case EROFS: return W("system plików tylko do odczytu");
    case EAGAIN: return W("zasób chwilowo niedostępny");
    case ECONNRESET: return W("połączenie zerwane przez drugą stronę");
    case EADDRNOTAVAIL: return W("adres niedostępny");
    default: return cp1250::fromUtf8(std::strerror(systemCode));
    }
}

std::string permissionRemedy() { return W("dodaj użytkownika do grupy dialout"); }

} // namespace kavrel::link
