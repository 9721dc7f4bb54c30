// The serial read of one reply, written once above the transports. In the original (gap)
// timing a read ends at the requested count, 500 ms after the last byte, or at the total
// limit. In fast timing it also ends once the bytes form the reply's complete frame and a
// settle time has passed without more bytes; the count, the pause and the total limit stay
// as the fallback for a reply without a recognisable frame.
//
// The settle time is what the module's habit needs. A module that ends its replies with the
// frame alone needs only the time of a CR LF right behind it, all the framing lets follow;
// stale input is dropped before each command anyway. A module that sends line ends after
// its frames may send them late, and a late one that comes in after the next command has
// gone out would begin the next reply (which then must be refused). So each connection
// starts with the long settle time, and shortens it once a few replies have shown nothing
// behind their frames; a line end seen behind a frame or before a reply brings the long
// one back for the rest of the connection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/connection.h"
#include "link/reply_frames.h"
#include "link/transport.h"

namespace kavrel::link {

// The settle time of one connection, learned from its replies.
class SettleTime {
public:
    // Replies with nothing around their frames before the short settle time is trusted.
    static constexpr int kCleanRepliesNeeded = 4;

    // Microseconds to wait after a frame at the line's speed: two characters (CR LF) once
    // the module has shown it sends nothing more; three characters + 10 ms before that, or
    // when it has sent line ends around its frames.
    std::uint32_t afterFrameUs(int baud) const;
    bool shortened() const { return !lineEnds_ && cleanReplies_ >= kCleanRepliesNeeded; }

    // A framed reply was read: whether bytes came in behind its frame or it began with a
    // line end.
    void replyRead(bool bytesAroundFrame);
    // A new connection: the module may be another one.
    void reset() { *this = SettleTime{}; }

private:
    int cleanReplies_ = 0;
    bool lineEnds_ = false;
};

std::size_t readSerialReply(Transport& transport, std::uint8_t* buffer, std::size_t count,
                            const TimedReadLimits& limits, ReplyFrame frame, int baud, SettleTime& settle);

} // namespace kavrel::link
