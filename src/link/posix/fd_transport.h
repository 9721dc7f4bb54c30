// Transport over a POSIX file descriptor (a serial device or a socket), with poll()
// for every wait so that no call can block past its limit.
#pragma once

#include "link/transport.h"

namespace kavrel::link::posix {

inline constexpr int kWaitInterrupted = -2;

// poll() for one event on fd, restarting after signals with the time that is left; ends
// early when the interrupt (may be null) is triggered. Returns the events that came, 0
// when the wait passed, -1 on failure or kWaitInterrupted.
int waitFor(int fd, short events, int waitMs, const LinkInterrupt* interrupt);

// Changes the line speed of an open serial port (same framing); false when refused. It
// sits with the port's other termios settings in serial_port.cpp.
bool setSerialSpeed(int fd, int baud);

class FdTransport : public Transport {
public:
    explicit FdTransport(int fd, bool isSocket) : fd_(fd), isSocket_(isSocket) {}
    ~FdTransport() override;
    FdTransport(const FdTransport&) = delete;
    FdTransport& operator=(const FdTransport&) = delete;

    ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override;
    bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) override;
    void discardInput(std::size_t maxBytes) override;
    bool setSpeed(int baud) override;
    bool gone() const override { return gone_; }

    int fd() const { return fd_; }

private:
    int fd_;
    bool isSocket_;
    bool gone_ = false;   // a hang-up, an end of input or a device error was seen
};

} // namespace kavrel::link::posix
