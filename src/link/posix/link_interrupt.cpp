#include "link/link_interrupt.h"

#include <fcntl.h>
#include <unistd.h>

namespace kavrel::link {

LinkInterrupt::LinkInterrupt() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    for (const int fd : fds) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    readFd_ = fds[0];
    writeFd_ = fds[1];
}

LinkInterrupt::~LinkInterrupt() {
    if (readFd_ >= 0) ::close(readFd_);
    if (writeFd_ >= 0) ::close(writeFd_);
}

void LinkInterrupt::trigger() noexcept {
    if (triggered_.exchange(true, std::memory_order_acq_rel)) return;
    // One byte, never read: the pipe stays readable, so every later poll wakes at once.
    if (writeFd_ >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(writeFd_, &byte, 1);
    }
}

} // namespace kavrel::link
