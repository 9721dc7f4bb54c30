// How the bytes of an exchange travel once the connection is open. A serial line is read
// to the reply's frame or to its pause, with the line's write and read limits; TCP is sent
// and received until the frame is whole within the exchange's limit, and a connection that
// fails is dropped. ModuleLink frames the command line and keeps the reply; the exchange
// of its connection's kind does the sending and the waiting.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "common/clock.h"
#include "link/connection.h"
#include "link/link_result.h"
#include "link/link_variant.h"
#include "link/reply_frames.h"
#include "link/round_trip_tracker.h"
#include "link/transport.h"

namespace kavrel::link {

inline constexpr std::size_t kVersionTextBytes = 1024;
inline constexpr int kNormalLineSpeed = 9600;
inline constexpr int kFastLineSpeed = 115200;         // the logger's serial transfers
inline constexpr std::size_t kCommandReplyBytes = 40; // a serial command's reply is read into this much
inline constexpr std::size_t kStaleInputBytes = 4096; // the most thrown away before an exchange

// The text after the "OK" line of a "VER?" reply, control bytes shown as spaces.
class VersionText {
public:
    void store(const std::uint8_t* from, std::size_t length);
    std::string_view text() const { return std::string_view(text_.data()); }

private:
    std::array<char, kVersionTextBytes> text_{};
};

// What every exchange of one link measures its waits by.
struct ExchangeLimits {
    const LinkVariant& variant;
    RoundTripTracker& roundTrips;   // measured by whole replies; reset at every open
    SerialTiming timing;

    // In the fast timing a limit grows with the round trips measured; the gap timing keeps
    // the protocol's value.
    std::uint32_t replyLimitMs(std::uint32_t protocolMs) const {
        return roundTrips.limitMs(protocolMs, timing == SerialTiming::Fast);
    }
};

class Exchange {
public:
    virtual ~Exchange() = default;

    // The transport spoken through; null once the connection was dropped.
    virtual Transport* transport() = 0;
    // Ends the connection (TCP then gives the converter a moment before a new one).
    virtual void close(const Clock& clock) = 0;
    // The serial line's speed; TCP has none to change and reports the normal one.
    virtual int lineSpeed() const { return kNormalLineSpeed; }

    // A command answered by "OK" CR (an empty line is one too long to send). The version
    // text is stored from every serial reply and from a TCP reply to "VER?".
    virtual LinkResult command(std::span<const std::uint8_t> line, ReplyFrame frame, std::span<std::uint8_t> area,
                               VersionText& version) = 0;
    // A query: its reply into `area` (the last byte kept for a NUL), `count` bytes of it.
    virtual LinkResult query(std::span<const std::uint8_t> line, ReplyFrame frame, std::uint32_t tcpLimitMs,
                             std::span<std::uint8_t> area, std::size_t& count) = 0;
    // A reply of `expected` bytes into `destination`; `takeAll`: TCP may take whatever more
    // fits, so a reply longer than expected shows up as such. Returns the bytes received.
    virtual std::size_t fixed(std::span<const std::uint8_t> line, std::size_t expected, std::span<std::uint8_t> destination,
                              std::uint32_t tcpLimitMs, bool takeAll) = 0;
};

} // namespace kavrel::link
