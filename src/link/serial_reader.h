// The serial read of one reply, written once above the transports. In the original (gap)
// timing a read ends at the requested count, 500 ms after the last byte, or at the total
// limit. In fast timing it also ends once the bytes form the reply's complete frame and a
// short settle time has passed without more bytes, so that a trailing LF or CR LF of the
// same reply is taken in with it; the count, the pause and the total limit stay as the
// fallback for a reply without a recognisable frame.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/reply_frames.h"
#include "link/transport.h"

namespace kavrel::link {

enum class SerialTiming {
    Fast,   // a reply ends at its frame plus the settle time
    Gap,    // every reply ends at the pause, as the module's original programs read it
};

// A few character times at the line rate and 10 ms for the scheduler: 3 bytes' time + 10 ms.
std::uint32_t settleTimeMs(int baud);

std::size_t readSerialReply(Transport& transport, std::uint8_t* buffer, std::size_t count,
                            const TimedReadLimits& limits, ReplyFrame frame, std::uint32_t settleMs);

} // namespace kavrel::link
