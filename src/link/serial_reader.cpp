#include "link/serial_reader.h"

#include <algorithm>
#include <chrono>

namespace kavrel::link {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kBitsPerCharacter = 10;   // start, eight data bits, stop

std::uint32_t charactersUs(int baud, std::uint64_t characters) {
    if (baud <= 0) return 0;
    const auto baudRate = static_cast<std::uint64_t>(baud);
    return static_cast<std::uint32_t>((characters * kBitsPerCharacter * 1'000'000 + baudRate - 1) / baudRate);
}

bool isLineEnd(std::uint8_t byte) { return byte == 0x0D || byte == 0x0A; }

// Whole milliseconds until `end`, rounded up so that the wait reaches it.
int waitMs(Clock::time_point now, Clock::time_point end) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(end - now).count();
    return static_cast<int>((us + 999) / 1000);
}

} // namespace

std::uint32_t SettleTime::afterFrameUs(int baud) const {
    constexpr std::uint32_t kSchedulerUs = 10'000;   // a late line end's time on a busy system
    return shortened() ? charactersUs(baud, 2) : charactersUs(baud, 3) + kSchedulerUs;
}

void SettleTime::replyRead(bool bytesAroundFrame) {
    if (bytesAroundFrame) lineEnds_ = true;
    else if (cleanReplies_ < kCleanRepliesNeeded) ++cleanReplies_;
}

std::size_t readSerialReply(Transport& transport, std::uint8_t* buffer, std::size_t count,
                            const TimedReadLimits& limits, ReplyFrame frame, int baud, SettleTime& settle) {
    if (frame == ReplyFrame::None) return transport.readTimed(buffer, count, limits);
    const auto total = Clock::now() + std::chrono::milliseconds(limits.totalMs);
    const auto settleTime = std::chrono::microseconds(settle.afterFrameUs(baud));
    auto gapEnd = total;      // the pause counts only once the first byte has arrived
    auto settleEnd = total;   // the settle time counts only once the frame is complete
    std::size_t framedAt = 0; // the size of the complete frame, 0 until then
    std::size_t got = 0;
    while (got < count) {
        const auto now = Clock::now();
        const auto end = std::min({total, gapEnd, settleEnd});
        if (now >= end) break;
        const ReadOutcome r = transport.readSome(buffer + got, count - got, waitMs(now, end));
        if (r.status == ReadStatus::Data) {
            got += r.count;
            const auto arrived = Clock::now();
            gapEnd = arrived + std::chrono::milliseconds(limits.intervalMs);
            if (framedAt == 0 && frameComplete(frame, buffer, got)) framedAt = got;
            // Bytes during the settle time belong to the reply and give the line another settle time.
            if (framedAt > 0) settleEnd = arrived + settleTime;
        } else if (r.status != ReadStatus::NoData) {
            break; // the device went away: what arrived is all there is
        }
    }
    // Only a reply that ended at its frame tells the module's habit.
    if (framedAt > 0) settle.replyRead(got > framedAt || isLineEnd(buffer[0]));
    return got;
}

} // namespace kavrel::link
