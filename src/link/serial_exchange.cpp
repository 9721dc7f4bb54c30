#include "link/serial_exchange.h"

#include "link/interval_timer.h"

#include <array>

namespace kavrel::link {
namespace {

constexpr const char kSpeedSwitch[] = "*S115!\r";
constexpr int kSpeedSwitchPauseMs = 60;   // after each "*S115!"
constexpr int kLoggerSettleMs = 200;      // before the logger's first line

} // namespace

SerialExchange::SerialExchange(std::unique_ptr<Transport> port, ExchangeLimits limits)
    : port_(std::move(port)), limits_(limits) {}

void SerialExchange::switchToFastSpeed(const Clock& clock) {
    // The module changes its speed on "*S115!"; it is said twice in case the first one
    // meets a module still busy with the previous line.
    const std::span<const std::uint8_t> line(reinterpret_cast<const std::uint8_t*>(kSpeedSwitch), sizeof kSpeedSwitch - 1);
    for (int i = 0; i < 2; ++i) {
        write(line);
        clock.sleep(kSpeedSwitchPauseMs);
    }
    speed_ = kFastLineSpeed;
    port_->setSpeed(kFastLineSpeed);
}

void SerialExchange::settle(const Clock& clock) {
    clock.sleep(kLoggerSettleMs);
    port_->discardInput(kStaleInputBytes);
}

bool SerialExchange::write(std::span<const std::uint8_t> line) {
    const auto& t = limits_.variant.serialTimeouts;
    const std::uint32_t limit = t.writeMultiplier * static_cast<std::uint32_t>(line.size()) + t.writeConstant;
    return port_->writeAll(line.data(), line.size(), static_cast<int>(limit));
}

std::size_t SerialExchange::read(std::uint8_t* buffer, std::size_t count, ReplyFrame frame) {
    const auto& t = limits_.variant.serialTimeouts;
    const TimedReadLimits limits{t.readInterval,
                                 limits_.replyLimitMs(t.readMultiplier * static_cast<std::uint32_t>(count) + t.readConstant)};
    if (limits_.timing == SerialTiming::Gap) frame = ReplyFrame::None;
    IntervalTimer roundTrip;
    roundTrip.start();
    const std::size_t got = readSerialReply(*port_, buffer, count, limits, frame, speed_, settle_);
    // Only a reply known to be whole tells how long the line takes.
    if (frame == ReplyFrame::None ? got == count : frameComplete(frame, buffer, got))
        limits_.roundTrips.measured(roundTrip.elapsedMs());
    return got;
}

void SerialExchange::dropStaleInput() {
    drainAbandoned();
    if (limits_.timing == SerialTiming::Fast) port_->discardInput(kStaleInputBytes);
}

void SerialExchange::drainAbandoned() {
    if (!abandoned_) return;
    abandoned_ = false;
    const auto& t = limits_.variant.serialTimeouts;
    // The line's pause ends it; a module still busy with the abandoned line gets one more
    // pause's time to begin its answer.
    const TimedReadLimits quiet{t.readInterval, 2 * t.readInterval};
    std::array<std::uint8_t, kStaleInputBytes> scratch{};
    // A read ends at the pause; only a full scratch area may have more behind it.
    for (int round = 0; round < 4; ++round)
        if (readSerialReply(*port_, scratch.data(), scratch.size(), quiet, ReplyFrame::None, speed_, settle_) <
            scratch.size())
            break;
}

LinkResult SerialExchange::command(std::span<const std::uint8_t> line, ReplyFrame frame, std::span<std::uint8_t>,
                                   VersionText& version) {
    if (line.empty()) return LinkResult::Failed;
    dropStaleInput();
    if (!write(line)) return LinkResult::Failed;
    std::array<std::uint8_t, kCommandReplyBytes + 1> reply{};
    std::size_t got = read(reply.data(), kCommandReplyBytes, frame);
    // A late "OK" of an earlier line in front of the version's reply: skipped, and the
    // reply read on when that leaves it without its text.
    std::size_t stray = frame == ReplyFrame::Version ? strayOkBytes(reply.data(), got) : 0;
    if (stray > 0) {
        if (!frameComplete(frame, reply.data() + stray, got - stray) && got < kCommandReplyBytes)
            got += read(reply.data() + got, kCommandReplyBytes - got, ReplyFrame::None);
        stray = strayOkBytes(reply.data(), got);
        std::copy(reply.begin() + static_cast<std::ptrdiff_t>(stray), reply.begin() + static_cast<std::ptrdiff_t>(got),
                  reply.begin());
        got -= stray;
    }
    // Nothing within the limit: the answer may still be on its way.
    if (got == 0) abandoned_ = true;
    if (got == 0) return LinkResult::NothingReceived;
    reply[got] = 0;
    if (got < 3 || reply[0] != 'O' || reply[1] != 'K' || reply[2] != '\r') return LinkResult::BadReply;
    // Everything after the "OK" line, its terminating NUL included, becomes the version
    // text with control bytes shown as spaces; a reply of "OK" CR "V" CR gives "V  ".
    version.store(reply.data() + 3, got + 1 - 3);
    return LinkResult::Ok;
}

LinkResult SerialExchange::query(std::span<const std::uint8_t> line, ReplyFrame frame, std::uint32_t,
                                 std::span<std::uint8_t> area, std::size_t& count) {
    count = 0;
    if (line.empty()) return LinkResult::Failed;
    dropStaleInput();
    if (!write(line)) return LinkResult::Failed;
    count = read(area.data(), area.size() - 1, frame);
    area[count] = 0;
    if (count == 0) abandoned_ = true;
    return count == 0 ? LinkResult::NothingReceived : LinkResult::Ok;
}

std::size_t SerialExchange::fixed(std::span<const std::uint8_t> line, std::size_t expected,
                                  std::span<std::uint8_t> destination, std::uint32_t, bool) {
    if (line.empty()) return 0;
    drainAbandoned();
    port_->discardInput(kStaleInputBytes);
    if (!write(line)) return 0;
    // A fixed-length reply ends at its count; no frame applies.
    const std::size_t wanted = std::min(expected, destination.size());
    const std::size_t got = read(destination.data(), wanted, ReplyFrame::None);
    if (got == 0 && wanted > 0) abandoned_ = true;
    return got;
}

} // namespace kavrel::link
