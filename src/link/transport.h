// The byte pipe under the module link: a serial port or a TCP connection, and the factory
// that opens them on this platform. The link's exchange logic (framing, frame-aware reads,
// time limits, result codes) sits above this and is written once; posix/ and win32/ hold
// the implementations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/interval_timer.h"
#include "link/link_interrupt.h"
#include "link/link_variant.h"
#include "link/open_failure.h"

namespace kavrel::link {

enum class ReadStatus {
    Data,     // at least one byte was read
    NoData,   // nothing arrived within the wait
    Closed,   // the peer closed the connection
    Error,    // the device or socket failed
    Interrupted, // the link's interrupt was triggered: the wait ended early
};

struct ReadOutcome {
    ReadStatus status = ReadStatus::NoData;
    std::size_t count = 0;
};

// The end rules of the protocol's serial read: it ends when count bytes have arrived,
// intervalMs after the last byte once one has arrived, or totalMs after it began.
struct TimedReadLimits {
    std::uint32_t intervalMs;
    std::uint32_t totalMs;
};

class Transport {
public:
    // Closing is destruction: the port or socket is released here.
    virtual ~Transport() = default;

    // Waits at most waitMs (0: only looks) for input and reads at most maxBytes of it.
    virtual ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) = 0;
    // The serial read of the original timing. The default is built on readSome; a platform
    // whose driver applies these limits itself may hand them to it.
    virtual std::size_t readTimed(std::uint8_t* buffer, std::size_t count, const TimedReadLimits& limits);
    // Writes every byte, giving up after limitMs; false when not all could be written.
    virtual bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) = 0;
    // Throws away input that is waiting: one look of at most maxBytes on a socket,
    // the whole input queue on a serial port.
    virtual void discardInput(std::size_t maxBytes) = 0;
    // Serial: changes the line speed, same framing. False when refused or not a serial port.
    virtual bool setSpeed(int baud) {
        (void)baud;
        return false;
    }
    // The device or connection went away under the transport (an adapter unplugged, a
    // terminal hung up, a peer that closed): every later exchange fails until it is
    // opened anew. A transport that cannot tell says false.
    virtual bool gone() const { return false; }

    // Every later wait of this transport ends as soon as the interrupt is triggered (the
    // interrupt outlives the transport: the link that owns both sets it).
    // A transport over another hands it on.
    virtual void setInterrupt(const LinkInterrupt* interrupt) { interrupt_ = interrupt; }

protected:
    const LinkInterrupt* interrupt() const { return interrupt_; }

private:
    const LinkInterrupt* interrupt_ = nullptr;
};

// What a serial open is asked for: the device (a path, or "\\.\COMn"), the line speed
// (8N1, no flow control), the driver's time-outs and queue sizes where the platform has them.
struct SerialRequest {
    std::string device;
    int baud = 9600;
    SerialTimeouts timeouts{};
    std::size_t queueBytes = 1024;
};

struct SerialOpenResult {
    std::unique_ptr<Transport> port;   // nullptr: missing, in use, or not a serial device
    bool timeoutsRefused = false;      // open, but the driver kept its previous time-outs
    OpenFailure failure;               // without a port: why, as the system said it
};

// Results of a TCP open, shared by every platform.
enum class [[nodiscard]] TcpConnectResult : int {
    Connected = 0,
    NotConnected = 1,    // nothing answered within the limit, or the address is not dotted IPv4
    NoSocketLibrary = 3, // the socket library could not be started (Winsock)
    NoSocket = 4,
    NoNonBlocking = 5,
};

struct TcpOpenResult {
    TcpConnectResult result = TcpConnectResult::NotConnected;
    std::unique_ptr<Transport> connection;   // set only with Connected
    OpenFailure failure;                     // without a connection: why (none when interrupted)
};

class TransportFactory {
public:
    virtual ~TransportFactory() = default;
    virtual SerialOpenResult openSerial(const SerialRequest& request) = 0;
    // Connects to address:port within limitMs measured on timer (the timer is started here);
    // a triggered interrupt (may be null) ends the wait as NotConnected. The connection
    // returned already has the interrupt set.
    virtual TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                                     IntervalTimer& timer, const LinkInterrupt* interrupt) = 0;
};

// The transports of the platform the program was built for.
std::shared_ptr<TransportFactory> platformTransports();

} // namespace kavrel::link
