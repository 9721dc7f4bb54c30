#include "link/tcp_exchange.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace kavrel::link {
namespace {

constexpr std::uint32_t kSendLimitMs = 5000;     // a blocking send that never completes
constexpr int kClosePauseMs = 50;                // after a close, before a new connection

} // namespace

TcpExchange::TcpExchange(std::unique_ptr<Transport> connection, ExchangeLimits limits, IntervalTimer& timer,
                         Reconnect reconnect)
    : connection_(std::move(connection)), limits_(limits), timer_(timer), reconnect_(std::move(reconnect)) {}

void TcpExchange::close(const Clock& clock) {
    if (!connection_) return;
    connection_.reset();
    clock.sleep(kClosePauseMs);
}

bool TcpExchange::send(std::span<const std::uint8_t> line) {
    if (abandoned_) {
        abandoned_ = false;
        connection_.reset();
        if (reconnect_) connection_ = reconnect_();
        if (!connection_) return false;
    }
    if (connection_->writeAll(line.data(), line.size(), static_cast<int>(kSendLimitMs))) return true;
    connection_.reset();
    return false;
}

TcpExchange::Wait TcpExchange::receive(std::span<std::uint8_t> area, std::uint32_t limitMs, std::size_t& count,
                                       const std::function<bool(std::size_t)>& complete) {
    timer_.start();
    count = 0;
    const std::size_t room = area.size() - 1;   // the last byte is kept for a NUL
    // In the default timing a reply that is still coming in is waited for: the limit
    // counts from its last bytes, so that a long reply over a very slow link (a 400-byte
    // "SET?" at 100 bytes a second) is not cut at the limit and read as a shorter one. The
    // area bounds the wait. The compatible timing counts the limit from the command alone.
    const bool fromLastBytes = limits_.timing == SerialTiming::Fast;
    std::uint32_t deadline = limitMs;
    for (;;) {
        const ReadOutcome r = connection_->readSome(area.data() + count, room - count, timer_.remainingMs(deadline));
        const std::uint32_t elapsed = timer_.elapsedMs();
        if (fromLastBytes && r.status == ReadStatus::Data && r.count > 0 && elapsed < IntervalTimer::kNoCounterElapsed)
            deadline = static_cast<std::uint32_t>(std::min<std::uint64_t>(
                std::uint64_t{elapsed} + limitMs, std::numeric_limits<std::uint32_t>::max()));
        if (r.status == ReadStatus::Closed || r.status == ReadStatus::Error) {
            connection_.reset();
            return r.status == ReadStatus::Closed ? Wait::Closed : Wait::Failed;
        }
        if (r.status == ReadStatus::Interrupted) return Wait::TimedOut;
        count += r.count;
        area[count] = 0;
        if (complete(count)) {
            limits_.roundTrips.measured(elapsed);
            return Wait::Complete;
        }
        if (count == room) return Wait::AreaFull;
        if (elapsed >= deadline) return Wait::TimedOut;
    }
}

LinkResult TcpExchange::command(std::span<const std::uint8_t> line, ReplyFrame frame, std::span<std::uint8_t> area,
                                VersionText& version) {
    if (line.empty()) return LinkResult::SendError;
    if (limits_.variant.flushBeforeSendCommand && !abandoned_) connection_->discardInput(kStaleInputBytes);
    if (!send(line)) return LinkResult::SendError;
    std::size_t count = 0;
    // A "VER?" reply may come in pieces (serial-to-Ethernet converters cut it up): it is
    // complete only with the CR that ends the version text, not at its "OK" line. A late
    // "OK" of an earlier line in front of it is skipped.
    std::size_t stray = 0;
    const Wait wait = receive(area, limits_.replyLimitMs(limits_.variant.sendCommandTcpLimitMs), count,
                              [&](std::size_t n) {
                                  if (frame == ReplyFrame::Version) stray = strayOkBytes(area.data(), n);
                                  return frameComplete(frame, area.data() + stray, n - stray);
                              });
    if (wait == Wait::Closed) return LinkResult::NothingReceived;
    if (wait == Wait::Failed) return LinkResult::ReceiveError;
    // No closing "OK" in time, or a full area without one, is as good as no answer.
    if (wait != Wait::Complete) {
        abandon();
        return LinkResult::Failed;
    }
    if (frame == ReplyFrame::Version)
        version.store(area.data() + stray + 3, versionTextEnd(area.data() + stray, count - stray) - 3);
    return LinkResult::Ok;
}

LinkResult TcpExchange::query(std::span<const std::uint8_t> line, ReplyFrame frame, std::uint32_t tcpLimitMs,
                              std::span<std::uint8_t> area, std::size_t& count) {
    count = 0;
    if (line.empty()) return LinkResult::Failed;
    if (!send(line)) return LinkResult::Failed;
    std::size_t received = 0;
    const Wait wait = receive(area, limits_.replyLimitMs(tcpLimitMs), received,
                              [&](std::size_t n) { return frameComplete(frame, area.data(), n); });
    if (wait == Wait::Closed) return LinkResult::NothingReceived;
    if (wait == Wait::Failed) return LinkResult::ReceiveError;
    // A reply cut off by the limit, or by the size of the area, is returned as received;
    // its rest must not begin the next reply.
    if (wait != Wait::Complete) abandon();
    if (received == 0) return LinkResult::NothingReceived;
    count = received;
    return LinkResult::Ok;
}

std::size_t TcpExchange::fixed(std::span<const std::uint8_t> line, std::size_t expected,
                               std::span<std::uint8_t> destination, std::uint32_t tcpLimitMs, bool takeAll) {
    if (line.empty()) return 0;
    expected = std::min(expected, destination.size());
    if (!abandoned_) connection_->discardInput(kStaleInputBytes);
    if (!send(line)) return 0;
    const std::uint32_t limitMs = limits_.replyLimitMs(tcpLimitMs);
    timer_.start();
    std::size_t count = 0;
    // With takeAll a receive takes whatever fits, so a reply longer than expected shows up
    // as such; otherwise it never takes more than expected.
    const std::size_t limitBytes = takeAll ? destination.size() : expected;
    while (count < expected) {
        const ReadOutcome r = connection_->readSome(destination.data() + count, limitBytes - count, timer_.remainingMs(limitMs));
        const std::uint32_t elapsed = timer_.elapsedMs();
        if (r.status == ReadStatus::Closed || r.status == ReadStatus::Error) {
            connection_.reset();
            return 0;
        }
        if (r.status == ReadStatus::Interrupted) break;
        count += r.count;
        if (count >= expected) {
            limits_.roundTrips.measured(elapsed);
            break;
        }
        if (elapsed >= limitMs) break;
    }
    // Nothing in time: the answer may still come. (A short reply the logger tries again
    // after connecting anew itself.)
    if (count == 0 && expected > 0) abandon();
    return count;
}

} // namespace kavrel::link
