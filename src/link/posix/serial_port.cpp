#include "link/posix/serial_port.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace kavrel::link::posix {
namespace {

speed_t speedConstant(int baud) {
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

bool applyLineSettings(int fd, int baud) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) return false;
    ::cfmakeraw(&tio);                       // binary: no translation of CR, no echo
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;     // 8N1, modem lines ignored (no DSR sensitivity)
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);  // no XON/XOFF in either direction
    tio.c_cc[VMIN] = 0;                      // reads are paced by poll(), never by the driver
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speedConstant(baud));
    ::cfsetospeed(&tio, speedConstant(baud));
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

SerialOpenResult openSerialPort(const std::string& devicePath, int baud) {
    const int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {nullptr, false, serialOpenFailure(errno)};
    // Without sharing: a second program on the same port is refused, as it would be on
    // a COM port. The advisory lock is what other serial tools try; TIOCEXCL also keeps
    // out programs that do not take the lock (their open fails with EBUSY).
    const bool terminal = ::isatty(fd) != 0;
    if (!terminal || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // The reason is taken before close() can change errno.
        const int reason = terminal ? errno : ENOTTY;
        ::close(fd);
        return {nullptr, false, serialOpenFailure(reason)};
    }
    ::ioctl(fd, TIOCEXCL);
    auto port = std::make_unique<FdTransport>(fd, false);
    // The line settings are written back without checking, as the module does not care
    // about the details a driver may refuse (a pseudo-terminal ignores the speed).
    applyLineSettings(fd, baud);
    // DTR and RTS held inactive: the module's interface does not use them.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIC, &lines);
    return {std::move(port), false, {}};
}

bool setSerialSpeed(int fd, int baud) { return applyLineSettings(fd, baud); }

} // namespace kavrel::link::posix
