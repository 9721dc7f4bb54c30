#include "link/transport.h"

#include <algorithm>
#include <chrono>

namespace kavrel::link {

std::size_t Transport::readTimed(std::uint8_t* buffer, std::size_t count, const TimedReadLimits& limits) {
    using Clock = std::chrono::steady_clock;
    const auto total = Clock::now() + std::chrono::milliseconds(limits.totalMs);
    auto gapEnd = total; // the interval counts only once the first byte has arrived
    std::size_t got = 0;
    while (got < count) {
        const auto now = Clock::now();
        const auto end = std::min(total, gapEnd);
        if (now >= end) break;
        const int wait = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count()) + 1;
        const ReadOutcome r = readSome(buffer + got, count - got, wait);
        if (r.status == ReadStatus::Data) {
            got += r.count;
            gapEnd = Clock::now() + std::chrono::milliseconds(limits.intervalMs);
        } else if (r.status != ReadStatus::NoData) {
            break; // the device went away: what arrived is all there is
        }
    }
    return got;
}

} // namespace kavrel::link
