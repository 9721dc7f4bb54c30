// The fleet loop's wait on the sockets of the polls under way. On Linux an epoll set that
// the kernel keeps between waits: a wait costs what is ready, not what is watched, so that
// thousands of modules with hundreds of polls under way cost little more per poll than
// dozens. Elsewhere poll() over the watched descriptors, built anew for each wait.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

#include <poll.h>

namespace kavrel::fleet {

class SocketWaiter {
public:
    SocketWaiter();
    ~SocketWaiter();
    SocketWaiter(const SocketWaiter&) = delete;
    SocketWaiter& operator=(const SocketWaiter&) = delete;

    // Watches `fd` for `events` (POLLIN or POLLOUT) for `tag`; called before each wait for
    // everything to be watched, only changes reach the kernel. `serial` tells a descriptor
    // from an earlier one of the same number (closed and given out again).
    void watch(std::size_t tag, int fd, short events, unsigned long long serial);
    // No longer watched (its poll ended; its socket may be closed already).
    void forget(std::size_t tag);
    // Waits up to `timeoutMs`; `ready` gets each ready tag with poll()'s revents bits.
    void wait(int timeoutMs, std::vector<std::pair<std::size_t, short>>& ready);

private:
    struct Watched {
        int fd;
        short events;
        unsigned long long serial;
    };
    void drop(std::size_t tag, int fd);
    std::unordered_map<std::size_t, Watched> watched_;
#ifdef __linux__
    std::unordered_map<int, std::size_t> byFd_;   // which tag a number is registered for
    int epoll_ = -1;
#endif
};

} // namespace kavrel::fleet
