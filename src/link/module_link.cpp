#include "link/module_link.h"

#include "common/win1250.h"
#include "link/command_words.h"
#include "link/reply_frames.h"
#include "link/trace_transport.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>


namespace kavrel::link {
namespace {

constexpr std::uint8_t kCR = 0x0D;
constexpr std::size_t kFlushBytes = 4096;        // the one look before a TCP exchange
constexpr std::size_t kDrainBytes = 65536;       // the logger's drainInput
constexpr std::uint32_t kTcpSendLimitMs = 5000;  // a blocking send that never completes
constexpr std::uint32_t kQueryLimitMs = 3000;
constexpr std::uint32_t kShortQueryLimitMs = 500;
constexpr std::uint32_t kFixedAreaLimitMs = 1000;
constexpr std::uint32_t kFixedBufferLimitMs = 300;
constexpr const char kSpeedSwitch[] = "*S115!";
constexpr std::size_t kSerialQueueBytes = 1024;
constexpr int kSpeedSwitchPauseMs = 60;     // after each "*S115!"
constexpr int kLoggerSettleMs = 200;        // before the logger's first line
constexpr int kTcpClosePauseMs = 50;        // after a TCP close, before a new connection

// A fixed-length reply is traced once complete, cut into frames by the link's describer.
class BinaryReplyTrace {
public:
    BinaryReplyTrace(WireTrace* trace, const FrameDescriber* describer) : trace_(trace) {
        if (trace_) trace_->beginBinaryReply(describer);
    }
    ~BinaryReplyTrace() {
        if (trace_) trace_->endBinaryReply();
    }
    BinaryReplyTrace(const BinaryReplyTrace&) = delete;
    BinaryReplyTrace& operator=(const BinaryReplyTrace&) = delete;

private:
    WireTrace* trace_;
};

} // namespace

LinkResult linkResult(TcpConnectResult connect) {
    switch (connect) {
    case TcpConnectResult::Connected: return LinkResult::Ok;
    case TcpConnectResult::NotConnected: return LinkResult::Failed;
    case TcpConnectResult::NoSocketLibrary: return LinkResult::NoSocketLibrary;
    case TcpConnectResult::NoSocket: return LinkResult::NoSocket;
    case TcpConnectResult::NoNonBlocking: return LinkResult::NoNonBlocking;
    }
    return LinkResult::Failed;
}

ModuleLink::ModuleLink(LinkVariant variant, Connection connection)
    : variant_(variant), connection_(std::move(connection)), transports_(platformTransports()) {}

ModuleLink::~ModuleLink() = default;

std::size_t ModuleLink::frame(std::string_view command, std::array<std::uint8_t, kCommandMax + 1>& line) const {
    // A command that would not fit is refused rather than cut: a shortened assignment
    // would silently change a setting in the module.
    if (command.size() + 1 > kCommandMax) return 0;
    std::memcpy(line.data(), command.data(), command.size());
    line[command.size()] = kCR;
    return command.size() + 1;
}

LinkResult ModuleLink::open(bool fastSpeed) {
    if (transport_) close();
    shortReplyMode_ = false;
    // Every connection starts at the module's normal speed: a TCP link opened after a
    // serial one at 115200 must not be taken for a switched serial line.
    serialSpeed_ = kSlowSpeed;
    roundTrips_.reset();
    openFailure_ = {};
    if (interrupted()) return LinkResult::Failed;
    if (!traceChosen_) setTrace(WireTrace::fromEnvironment());
    return isSerial() ? openSerial(fastSpeed) : openTcp();
}

void ModuleLink::traceOpen(const std::string& connection) {
    if (trace_) trace_->beginOperation(connection);
}

// The open's outcome in the trace, with the system's reason when it failed.
void ModuleLink::traceOpenResult(const std::string& outcome) {
    const std::string reason = openFailureReason();
    trace_->event('=', reason.empty() ? outcome : outcome + ": " + cp1250::toUtf8(reason));
}

std::string ModuleLink::openFailureReason() const {
    // An address that is no address is named alone; a reachable one with its port.
    std::string place = isSerial() ? connection_.device() : connection_.address();
    if (!isSerial() && openFailure_.kind != OpenFailureKind::BadAddress) place += ":" + std::to_string(connection_.tcpPort());
    return link::openFailureReason(openFailure_, place);
}

LinkResult ModuleLink::openTcp() {
    connected_ = false;
    const auto port = static_cast<std::uint16_t>(connection_.tcpPort());
    if (trace_) traceOpen("TCP " + connection_.address() + ":" + std::to_string(port));
    TcpOpenResult opened = transports_->connectTcp(connection_.address(), port, variant_.tcpConnectLimitMs, timer_, interrupt_.get());
    if (opened.result == TcpConnectResult::Connected && !opened.connection) opened.result = TcpConnectResult::NotConnected;
    if (opened.result == TcpConnectResult::Connected) {
        transport_ = traced(std::move(opened.connection), trace_);
        transport_->setInterrupt(interrupt_.get());
    }
    connected_ = opened.result == TcpConnectResult::Connected;
    if (!connected_) openFailure_ = opened.failure;
    if (trace_) traceOpenResult(connected_ ? "połączono" : "brak połączenia (" + std::to_string(static_cast<int>(opened.result)) + ")");
    return linkResult(opened.result);
}

LinkResult ModuleLink::openSerial(bool fastSpeed) {
    const std::string& path = connection_.device();
    serialSpeed_ = kSlowSpeed;
    timeoutsRefused_ = false;
    settle_.reset();
    if (trace_) traceOpen("port " + path + " " + std::to_string(kSlowSpeed) + " bod");
    SerialOpenResult opened = transports_->openSerial({path, kSlowSpeed, variant_.serialTimeouts, kSerialQueueBytes});
    if (!opened.port) openFailure_ = opened.failure;
    if (trace_) traceOpenResult(opened.port ? "port otwarty" : "błąd otwarcia portu");
    if (!opened.port) return LinkResult::Failed;
    transport_ = traced(std::move(opened.port), trace_);
    transport_->setInterrupt(interrupt_.get());
    timeoutsRefused_ = opened.timeoutsRefused;
    serialOpen_ = true;
    if (variant_.loggerSerialOpening) {
        if (fastSpeed) {
            // The module changes its speed on "*S115!"; it is said twice in case the first
            // one meets a module still busy with the previous line.
            std::array<std::uint8_t, kCommandMax + 1> line{};
            const std::size_t size = frame(kSpeedSwitch, line);
            for (int i = 0; i < 2; ++i) {
                writeSerial(line.data(), size);
                clock_->sleep(kSpeedSwitchPauseMs);
            }
            serialSpeed_ = kFastSpeed;
            transport_->setSpeed(kFastSpeed);
        }
        clock_->sleep(kLoggerSettleMs);
        transport_->discardInput(kFlushBytes);
    }
    return LinkResult::Ok;
}

void ModuleLink::close() {
    const bool wasTcp = transport_ && !serialOpen_;
    transport_.reset();
    serialOpen_ = false;
    connected_ = false;
    if (wasTcp) clock_->sleep(kTcpClosePauseMs);
}

bool ModuleLink::isOpen() const { return serialOpen_ || (connected_ && transport_); }

bool ModuleLink::connectionLost() const { return !transport_ || transport_->gone(); }

void ModuleLink::dropConnection() {
    transport_.reset();
    connected_ = false;
}

bool ModuleLink::writeSerial(const std::uint8_t* data, std::size_t size) {
    const auto& t = variant_.serialTimeouts;
    const std::uint32_t limit = t.writeMultiplier * static_cast<std::uint32_t>(size) + t.writeConstant;
    return transport_->writeAll(data, size, static_cast<int>(limit));
}

std::size_t ModuleLink::readSerial(std::uint8_t* buffer, std::size_t count, ReplyFrame frame) {
    const auto& t = variant_.serialTimeouts;
    const TimedReadLimits limits{t.readInterval, replyLimitMs(t.readMultiplier * static_cast<std::uint32_t>(count) + t.readConstant)};
    if (serialTiming() == SerialTiming::Gap) frame = ReplyFrame::None;
    IntervalTimer roundTrip;
    roundTrip.start();
    const std::size_t got = readSerialReply(*transport_, buffer, count, limits, frame, serialSpeed_, settle_);
    // Only a reply known to be whole tells how long the line takes.
    if (frame == ReplyFrame::None ? got == count : frameComplete(frame, buffer, got)) roundTrips_.measured(roundTrip.elapsedMs());
    return got;
}

void ModuleLink::dropStaleSerialInput() {
    if (serialTiming() == SerialTiming::Fast) transport_->discardInput(kFlushBytes);
}

bool ModuleLink::sendTcp(const std::uint8_t* data, std::size_t size) {
    return transport_->writeAll(data, size, static_cast<int>(kTcpSendLimitMs));
}

void ModuleLink::storeVersionText(const std::uint8_t* from, std::size_t length) {
    length = std::min(length, kVersionTextSize - 1);
    for (std::size_t i = 0; i < length; ++i) versionText_[i] = from[i] < 0x20 ? ' ' : static_cast<char>(from[i]);
    versionText_[length] = '\0';
}

LinkResult ModuleLink::sendCommand(std::string_view command) {
    if (!transport_ || interrupted()) return isSerial() ? LinkResult::Failed : LinkResult::SendError;
    return serialOpen_ ? sendCommandSerial(command) : sendCommandTcp(command);
}

LinkResult ModuleLink::sendCommandSerial(std::string_view command) {
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const std::size_t size = frame(command, line);
    if (size == 0) return LinkResult::Failed;
    dropStaleSerialInput();
    if (!writeSerial(line.data(), size)) return LinkResult::Failed;
    std::array<std::uint8_t, kSerialReplyMax + 1> reply{};
    const ReplyFrame replyFrame = command.starts_with(link::command::kVersion) ? ReplyFrame::Version : ReplyFrame::Command;
    const std::size_t got = readSerial(reply.data(), kSerialReplyMax, replyFrame);
    if (got == 0) return LinkResult::NothingReceived;
    reply[got] = 0;
    if (got < 3 || reply[0] != 'O' || reply[1] != 'K' || reply[2] != kCR) return LinkResult::BadReply;
    // Everything after the "OK" line, its terminating NUL included, becomes the version
    // text with control bytes shown as spaces; a reply of "OK" CR "V" CR gives "V  ".
    storeVersionText(reply.data() + 3, got + 1 - 3);
    return LinkResult::Ok;
}

LinkResult ModuleLink::sendCommandTcp(std::string_view command) {
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const std::size_t size = frame(command, line);
    if (size == 0) return LinkResult::SendError;
    const bool isVersionQuery = command.starts_with(link::command::kVersion);
    if (variant_.flushBeforeSendCommand) transport_->discardInput(kFlushBytes);
    if (!sendTcp(line.data(), size)) {
        dropConnection();
        return LinkResult::SendError;
    }
    std::size_t count = 0;
    const std::uint8_t* area = receiveArea_.data();
    // A "VER?" reply may come in pieces (serial-to-Ethernet converters cut it up): it is
    // complete only with the CR that ends the version text, not at its "OK" line.
    const ReplyFrame replyFrame = isVersionQuery ? ReplyFrame::Version : ReplyFrame::Command;
    const TcpWait wait = receiveTcp(replyLimitMs(variant_.sendCommandTcpLimitMs), count,
                                    [&](std::size_t n) { return frameComplete(replyFrame, area, n); });
    if (wait == TcpWait::Closed) return LinkResult::NothingReceived;
    if (wait == TcpWait::Failed) return LinkResult::ReceiveError;
    // No closing "OK" in time, or a full area without one, is as good as no answer.
    if (wait != TcpWait::Complete) return LinkResult::Failed;
    if (isVersionQuery) storeVersionText(area + 3, versionTextEnd(area, count) - 3);
    return LinkResult::Ok;
}

ModuleLink::TcpWait ModuleLink::receiveTcp(std::uint32_t limitMs, std::size_t& count,
                                           const std::function<bool(std::size_t)>& complete) {
    timer_.start();
    count = 0;
    std::uint8_t* area = receiveArea_.data();
    for (;;) {
        const ReadOutcome r = transport_->readSome(area + count, kReceiveAreaSize - count, timer_.remainingMs(limitMs));
        const std::uint32_t elapsed = timer_.elapsedMs();
        if (r.status == ReadStatus::Closed || r.status == ReadStatus::Error) {
            dropConnection();
            return r.status == ReadStatus::Closed ? TcpWait::Closed : TcpWait::Failed;
        }
        if (r.status == ReadStatus::Interrupted) return TcpWait::TimedOut;
        count += r.count;
        area[count] = 0;
        if (complete(count)) {
            roundTrips_.measured(elapsed);
            return TcpWait::Complete;
        }
        if (count == kReceiveAreaSize) return TcpWait::AreaFull;
        if (elapsed >= limitMs) return TcpWait::TimedOut;
    }
}

LinkResult ModuleLink::query(std::string_view command) {
    receivedCount_ = 0;
    receiveArea_[0] = 0;
    if (!transport_ || interrupted()) return LinkResult::Failed;
    return serialOpen_ ? querySerial(command) : queryTcp(command);
}

LinkResult ModuleLink::querySerial(std::string_view command) {
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const std::size_t size = frame(command, line);
    if (size == 0) return LinkResult::Failed;
    dropStaleSerialInput();
    if (!writeSerial(line.data(), size)) return LinkResult::Failed;
    receivedCount_ = readSerial(receiveArea_.data(), kReceiveAreaSize,
                                shortReplyMode_ ? ReplyFrame::ShortQuery : ReplyFrame::Query);
    receiveArea_[receivedCount_] = 0;
    return receivedCount_ == 0 ? LinkResult::NothingReceived : LinkResult::Ok;
}

LinkResult ModuleLink::queryTcp(std::string_view command) {
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const std::size_t size = frame(command, line);
    if (size == 0) return LinkResult::Failed;
    if (!sendTcp(line.data(), size)) {
        dropConnection();
        return LinkResult::Failed;
    }
    std::size_t count = 0;
    const std::uint8_t* area = receiveArea_.data();
    const bool shortReplies = shortReplyMode_;
    const ReplyFrame replyFrame = shortReplies ? ReplyFrame::ShortQuery : ReplyFrame::Query;
    const TcpWait wait = receiveTcp(replyLimitMs(shortReplies ? kShortQueryLimitMs : kQueryLimitMs), count,
                                    [&](std::size_t n) { return frameComplete(replyFrame, area, n); });
    if (wait == TcpWait::Closed) return LinkResult::NothingReceived;
    if (wait == TcpWait::Failed) return LinkResult::ReceiveError;
    // A reply cut off by the limit, or by the size of the area, is returned as received.
    if (count == 0) return LinkResult::NothingReceived;
    receivedCount_ = count;
    return LinkResult::Ok;
}

std::size_t ModuleLink::queryFixed(std::string_view command, std::size_t expected) {
    receivedCount_ = 0;
    receiveArea_[0] = 0;
    const std::size_t got = queryFixedInto(command, expected, receiveArea_.data(), kReceiveAreaSize,
                                           kFixedAreaLimitMs, true);
    receivedCount_ = got;
    receiveArea_[got] = 0;
    return got;
}

std::size_t ModuleLink::queryFixed(std::string_view command, std::size_t expected, std::span<std::uint8_t> destination) {
    return queryFixedInto(command, expected, destination.data(), destination.size(), kFixedBufferLimitMs, false);
}

std::size_t ModuleLink::queryFixedInto(std::string_view command, std::size_t expected, std::uint8_t* destination,
                                       std::size_t room, std::uint32_t tcpLimitMs, bool intoArea) {
    if (!transport_ || interrupted()) return 0;
    expected = std::min(expected, room);
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const std::size_t size = frame(command, line);
    if (size == 0) return 0;
    const BinaryReplyTrace replyTrace(trace_.get(), &frameDescriber_);
    if (serialOpen_) {
        transport_->discardInput(kFlushBytes);
        if (!writeSerial(line.data(), size)) return 0;
        // A fixed-length reply ends at its count; no frame applies.
        return readSerial(destination, expected, ReplyFrame::None);
    }
    transport_->discardInput(kFlushBytes);
    if (!sendTcp(line.data(), size)) {
        dropConnection();
        return 0;
    }
    const std::uint32_t limitMs = replyLimitMs(tcpLimitMs);
    timer_.start();
    std::size_t count = 0;
    // Into the area a receive takes whatever fits, so a reply longer than expected shows
    // up as such; into a caller's buffer it never takes more than the buffer holds.
    const std::size_t limitBytes = intoArea ? room : expected;
    while (count < expected) {
        const ReadOutcome r = transport_->readSome(destination + count, limitBytes - count, timer_.remainingMs(limitMs));
        const std::uint32_t elapsed = timer_.elapsedMs();
        if (r.status == ReadStatus::Closed || r.status == ReadStatus::Error) {
            dropConnection();
            return 0;
        }
        if (r.status == ReadStatus::Interrupted) break;
        count += r.count;
        if (count >= expected) {
            roundTrips_.measured(elapsed);
            break;
        }
        if (elapsed >= limitMs) break;
    }
    return count;
}

void ModuleLink::drainInput() {
    if (transport_) transport_->discardInput(kDrainBytes);
}

} // namespace kavrel::link
