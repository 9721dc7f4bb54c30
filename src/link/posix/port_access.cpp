#include "link/ports/port_access.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace kavrel::link {

PortAccess portAccess(const std::string& device, PathAccessCheck check) {
    if (!check) check = ::access;
    if (check(device.c_str(), R_OK | W_OK) != 0)
        return errno == ENOENT || errno == ENOTDIR ? PortAccess::Absent : PortAccess::NoPermission;
    // O_NONBLOCK: the open does not wait for a carrier. A second descriptor's close does not
    // hang the line up, so a program that holds the port keeps it as it was.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
        case EBUSY: return PortAccess::InUse;   // held with TIOCEXCL
        case EACCES:
        case EPERM: return PortAccess::NoPermission;
        case ENOENT:
        case ENODEV:
        case ENXIO: return PortAccess::Absent;
        default: return PortAccess::Usable;     // e.g. EIO of a port without hardware: nothing to mark
        }
    }
    PortAccess access = PortAccess::Usable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) access = PortAccess::InUse;
    } else {
        ::flock(fd, LOCK_UN);
    }
    ::close(fd);
    return access;
}

} // namespace kavrel::link
