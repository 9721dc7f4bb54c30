// A wake-up for the link's waits. A window that goes away triggers it from its own thread;
// every wait of the link under way on the worker (a reply, a write, a TCP connect) ends at
// once, and every later exchange of that link fails without touching the line. It is the
// one thing a window and a worker share, and it only ever goes from "not triggered" to
// "triggered".
//
// POSIX: the read end of a pipe, polled beside the port or socket; Windows: a manual-reset
// event object, checked between the slices of every wait.
#pragma once

#include <atomic>

namespace kavrel::link {

class LinkInterrupt {
public:
    LinkInterrupt();
    ~LinkInterrupt();
    LinkInterrupt(const LinkInterrupt&) = delete;
    LinkInterrupt& operator=(const LinkInterrupt&) = delete;

    // Any thread, any number of times.
    void trigger() noexcept;
    bool triggered() const noexcept { return triggered_.load(std::memory_order_acquire); }

#ifdef _WIN32
    // The event object, signalled once triggered.
    void* event() const { return event_; }
#else
    // A descriptor that becomes readable once triggered (-1: none could be made, and the
    // waits fall back to checking triggered() every slice).
    int wakeFd() const { return readFd_; }
#endif

private:
    std::atomic<bool> triggered_{false};
#ifdef _WIN32
    void* event_ = nullptr;
#else
    int readFd_ = -1;
    int writeFd_ = -1;
#endif
};

// True when the interrupt exists and has been triggered.
inline bool interrupted(const LinkInterrupt* interrupt) { return interrupt && interrupt->triggered(); }

} // namespace kavrel::link
