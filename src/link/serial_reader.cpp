#include "link/serial_reader.h"

#include <algorithm>
#include <chrono>

namespace kavrel::link {

std::uint32_t settleTimeMs(int baud) {
    const int bitsPerByte = 10;   // start, eight data bits, stop
    const int charactersMs = baud > 0 ? (3 * bitsPerByte * 1000 + baud - 1) / baud : 0;
    return static_cast<std::uint32_t>(charactersMs + 10);
}

std::size_t readSerialReply(Transport& transport, std::uint8_t* buffer, std::size_t count,
                            const TimedReadLimits& limits, ReplyFrame frame, std::uint32_t settleMs) {
    if (frame == ReplyFrame::None) return transport.readTimed(buffer, count, limits);
    using Clock = std::chrono::steady_clock;
    const auto total = Clock::now() + std::chrono::milliseconds(limits.totalMs);
    auto gapEnd = total;      // the pause counts only once the first byte has arrived
    auto settleEnd = total;   // the settle time counts only once the frame is complete
    bool framed = false;
    std::size_t got = 0;
    while (got < count) {
        const auto now = Clock::now();
        const auto end = std::min({total, gapEnd, settleEnd});
        if (now >= end) break;
        const int wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1;
        const ReadOutcome r = transport.readSome(buffer + got, count - got, wait);
        if (r.status == ReadStatus::Data) {
            got += r.count;
            const auto arrived = Clock::now();
            gapEnd = arrived + std::chrono::milliseconds(limits.intervalMs);
            if (!framed) framed = frameComplete(frame, buffer, got);
            // Bytes during the settle time belong to the reply and give the line another settle time.
            if (framed) settleEnd = arrived + std::chrono::milliseconds(settleMs);
        } else if (r.status != ReadStatus::NoData) {
            break; // the device went away: what arrived is all there is
        }
    }
    return got;
}

} // namespace kavrel::link
