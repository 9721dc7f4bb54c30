// The byte pipe under the module link: a serial port or a TCP connection. The link's
// exchange logic (framing, time limits, result codes) sits above this and is written once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kavrel::link {

enum class ReadStatus {
    Data,     // at least one byte was read
    NoData,   // nothing arrived within the wait
    Closed,   // the peer closed the connection
    Error,    // the device or socket failed
};

struct ReadOutcome {
    ReadStatus status = ReadStatus::NoData;
    std::size_t count = 0;
};

class Transport {
public:
    virtual ~Transport() = default;

    // Waits at most waitMs (0: only looks) for input and reads at most maxBytes of it.
    virtual ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) = 0;
    // Writes every byte, giving up after limitMs; false when not all could be written.
    virtual bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) = 0;
    // Throws away input that is waiting: one look of at most maxBytes on a socket,
    // the whole input queue on a serial port.
    virtual void discardInput(std::size_t maxBytes) = 0;
};

} // namespace kavrel::link
