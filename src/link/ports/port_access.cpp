#include "link/ports/port_access.h"

namespace kavrel::link {

const char* portAccessMark(PortAccess access) {
    switch (access) {
    case PortAccess::NoPermission: return "brak uprawnień";
    case PortAccess::InUse: return "zajęty przez inny program";
    case PortAccess::Usable:
    case PortAccess::Absent: break;
    }
    return "";
}

} // namespace kavrel::link
