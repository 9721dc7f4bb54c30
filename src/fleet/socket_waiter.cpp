#include "fleet/socket_waiter.h"

#include <cerrno>

#ifdef __linux__
#include <sys/epoll.h>
#include <unistd.h>
#endif

namespace kavrel::fleet {

#ifdef __linux__

namespace {

unsigned toEpoll(short events) {
    return ((events & POLLIN) ? EPOLLIN : 0u) | ((events & POLLOUT) ? EPOLLOUT : 0u);
}

short fromEpoll(unsigned events) {
    short out = 0;
    if (events & EPOLLIN) out |= POLLIN;
    if (events & EPOLLOUT) out |= POLLOUT;
    if (events & EPOLLERR) out |= POLLERR;
    if (events & EPOLLHUP) out |= POLLHUP;
    return out;
}

} // namespace

SocketWaiter::SocketWaiter() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}

SocketWaiter::~SocketWaiter() {
    if (epoll_ >= 0) ::close(epoll_);
}

void SocketWaiter::drop(std::size_t tag, int fd) {
    const auto at = byFd_.find(fd);
    if (at == byFd_.end() || at->second != tag) return;   // the number belongs to another tag now
    // A closed descriptor has left the set already: the error is no news.
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
    byFd_.erase(at);
}

void SocketWaiter::watch(std::size_t tag, int fd, short events, unsigned long long serial) {
    const auto at = watched_.find(tag);
    if (at != watched_.end()) {
        const Watched& w = at->second;
        if (w.fd == fd && w.serial == serial && w.events == events) return;
        if (w.fd == fd && w.serial == serial) {
            epoll_event ev{};
            ev.events = toEpoll(events);
            ev.data.u64 = tag;
            ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
            at->second.events = events;
            return;
        }
        drop(tag, w.fd);
    }
    epoll_event ev{};
    ev.events = toEpoll(events);
    ev.data.u64 = tag;
    // The number may still be in the set for another tag whose descriptor of that number was
    // closed and whose entry the kernel has not dropped (a duplicate kept it): take it over.
    if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &ev) != 0 && errno == EEXIST) ::epoll_ctl(epoll_, EPOLL_CTL_MOD, fd, &ev);
    byFd_[fd] = tag;
    watched_[tag] = {fd, events, serial};
}

void SocketWaiter::forget(std::size_t tag) {
    const auto at = watched_.find(tag);
    if (at == watched_.end()) return;
    drop(tag, at->second.fd);
    watched_.erase(at);
}

void SocketWaiter::wait(int timeoutMs, std::vector<std::pair<std::size_t, short>>& ready) {
    ready.clear();
    epoll_event events[256];
    const int n = ::epoll_wait(epoll_, events, 256, timeoutMs);
    for (int i = 0; i < n; ++i) ready.emplace_back(static_cast<std::size_t>(events[i].data.u64), fromEpoll(events[i].events));
}

#else

SocketWaiter::SocketWaiter() = default;
SocketWaiter::~SocketWaiter() = default;
void SocketWaiter::drop(std::size_t, int) {}

void SocketWaiter::watch(std::size_t tag, int fd, short events, unsigned long long serial) {
    watched_[tag] = {fd, events, serial};
}

void SocketWaiter::forget(std::size_t tag) { watched_.erase(tag); }

void SocketWaiter::wait(int timeoutMs, std::vector<std::pair<std::size_t, short>>& ready) {
    ready.clear();
    std::vector<pollfd> fds;
    std::vector<std::size_t> tags;
    for (const auto& [tag, w] : watched_) {
        fds.push_back({w.fd, w.events, 0});
        tags.push_back(tag);
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i)
        if (fds[i].revents) ready.emplace_back(tags[i], fds[i].revents);
}

#endif

} // namespace kavrel::fleet
