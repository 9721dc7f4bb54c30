#include "link/posix/fd_transport.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace kavrel::link::posix {
namespace {

constexpr int kSliceMs = 100; // without a wake-up descriptor, how often a wait looks at the interrupt

} // namespace

int waitFor(int fd, short events, int waitMs, const LinkInterrupt* interrupt) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    const int wakeFd = interrupt ? interrupt->wakeFd() : -1;
    const bool sliced = interrupt && wakeFd < 0;
    for (;;) {
        if (interrupted(interrupt)) return kWaitInterrupted;
        pollfd p[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
        const int r = ::poll(p, wakeFd >= 0 ? 2 : 1, sliced && waitMs > kSliceMs ? kSliceMs : waitMs);
        if (r > 0 && p[1].revents != 0 && wakeFd >= 0) return kWaitInterrupted;
        if (r > 0) return p[0].revents;
        if (r < 0 && errno != EINTR) return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        waitMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        if (r == 0 && (!sliced || waitMs == 0)) return 0;
    }
}

FdTransport::~FdTransport() {
    if (fd_ < 0) return;
    // The exclusive open ends with this descriptor: a terminal that someone else keeps
    // open (a pseudo-terminal's keeper) would otherwise stay closed to the next program.
    if (!isSocket_) ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
}

ReadOutcome FdTransport::readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) {
    if (maxBytes == 0) return {ReadStatus::NoData, 0};
    const int events = waitFor(fd_, POLLIN, waitMs < 0 ? 0 : waitMs, interrupt());
    if (events == kWaitInterrupted) return {ReadStatus::Interrupted, 0};
    if (events < 0) return {ReadStatus::Error, 0};
    if (events == 0) return {ReadStatus::NoData, 0};
    ssize_t n;
    do {
        n = isSocket_ ? ::recv(fd_, buffer, maxBytes, MSG_DONTWAIT) : ::read(fd_, buffer, maxBytes);
    } while (n < 0 && errno == EINTR);
    if (n > 0) return {ReadStatus::Data, static_cast<std::size_t>(n)};
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return {ReadStatus::NoData, 0};
    // An end of input on a terminal, or an error (EIO of a hung-up terminal, ENODEV of an
    // unplugged adapter), does not pass: the device is gone for this descriptor.
    gone_ = true;
    if (n == 0) return {isSocket_ ? ReadStatus::Closed : ReadStatus::Error, 0};
    return {ReadStatus::Error, 0};
}

bool FdTransport::writeAll(const std::uint8_t* data, std::size_t size, int limitMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int events = waitFor(fd_, POLLOUT, left.count() > 0 ? static_cast<int>(left.count()) : 0, interrupt());
        if (events > 0 && (events & (POLLERR | POLLHUP | POLLNVAL))) gone_ = true;
        if (events <= 0 || (events & (POLLERR | POLLHUP | POLLNVAL))) return false;
        const ssize_t n = isSocket_ ? ::send(fd_, data + done, size - done, MSG_NOSIGNAL)
                                    : ::write(fd_, data + done, size - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
        if (n < 0) gone_ = true;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void FdTransport::discardInput(std::size_t maxBytes) {
    if (!isSocket_) {
        ::tcflush(fd_, TCIFLUSH);
        return;
    }
    std::uint8_t scratch[4096];
    while (maxBytes > 0) {
        const std::size_t chunk = maxBytes < sizeof scratch ? maxBytes : sizeof scratch;
        const ssize_t n = ::recv(fd_, scratch, chunk, MSG_DONTWAIT);
        if (n <= 0) return;
        maxBytes -= static_cast<std::size_t>(n);
        if (static_cast<std::size_t>(n) < chunk) return; // one look: nothing more was waiting
    }
}

bool FdTransport::setSpeed(int baud) { return !isSocket_ && setSerialSpeed(fd_, baud); }

} // namespace kavrel::link::posix
