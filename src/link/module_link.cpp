#include "link/module_link.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/win1250.h"
#include "link/command_words.h"
#include "link/serial_exchange.h"
#include "link/tcp_exchange.h"
#include "link/trace/trace_transport.h"

namespace kavrel::link {
namespace {

constexpr std::uint8_t kCR = 0x0D;
constexpr std::size_t kDrainBytes = 65536;       // the logger's drainInput
constexpr std::uint32_t kQueryLimitMs = 3000;
constexpr std::uint32_t kShortQueryLimitMs = 500;
constexpr std::uint32_t kFixedAreaLimitMs = 1000;
constexpr std::uint32_t kFixedBufferLimitMs = 300;
constexpr std::size_t kSerialQueueBytes = 1024;
constexpr int kTcpReconnectPauseMs = 50;         // as after a close: the converter's moment

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

ModuleLink::ModuleLink(LinkVariant variant, Connection connection)
    : variant_(variant), connection_(std::move(connection)), transports_(platformTransports()) {}

ModuleLink::~ModuleLink() = default;

std::span<const std::uint8_t> ModuleLink::frame(std::string_view command,
                                                std::array<std::uint8_t, kCommandMax + 1>& line) const {
    if (command.size() + 1 > kCommandMax) return {};
    std::memcpy(line.data(), command.data(), command.size());
    line[command.size()] = kCR;
    return {line.data(), command.size() + 1};
}

LinkResult ModuleLink::open(bool fastSpeed) {
    if (exchange_) close();
    shortReplyMode_ = false;
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
    const auto port = static_cast<std::uint16_t>(connection_.tcpPort());
    if (trace_) traceOpen("TCP " + connection_.address() + ":" + std::to_string(port));
    TcpOpenResult opened = transports_->connectTcp(connection_.address(), port, variant_.tcpConnectLimitMs, timer_, interrupt_.get());
    if (opened.result == TcpConnectResult::Connected && !opened.connection) opened.result = TcpConnectResult::NotConnected;
    const bool connected = opened.result == TcpConnectResult::Connected;
    if (connected) {
        std::unique_ptr<Transport> connection = traced(std::move(opened.connection), trace_);
        connection->setInterrupt(interrupt_.get());
        // After a reply that came too late the exchange connects anew, to the same address.
        auto reconnect = [this, port]() -> std::unique_ptr<Transport> {
            clock_->sleep(kTcpReconnectPauseMs);
            if (trace_) trace_->event('=', "odpowiedź po czasie: nowe połączenie");
            TcpOpenResult again = transports_->connectTcp(connection_.address(), port, variant_.tcpConnectLimitMs, timer_,
                                                          interrupt_.get());
            if (again.result != TcpConnectResult::Connected || !again.connection) return nullptr;
            std::unique_ptr<Transport> renewed = traced(std::move(again.connection), trace_);
            renewed->setInterrupt(interrupt_.get());
            return renewed;
        };
        exchange_ = std::make_unique<TcpExchange>(std::move(connection), exchangeLimits(), timer_, std::move(reconnect));
    } else {
        openFailure_ = opened.failure;
    }
    if (trace_) traceOpenResult(connected ? "połączono" : "brak połączenia (" + std::to_string(static_cast<int>(opened.result)) + ")");
    return linkResult(opened.result);
}

LinkResult ModuleLink::openSerial(bool fastSpeed) {
    const std::string& path = connection_.device();
    timeoutsRefused_ = false;
    if (trace_) traceOpen("port " + path + " " + std::to_string(kSlowSpeed) + " bod");
    SerialOpenResult opened = transports_->openSerial({path, kSlowSpeed, variant_.serialTimeouts, kSerialQueueBytes});
    if (!opened.port) openFailure_ = opened.failure;
    if (trace_) traceOpenResult(opened.port ? "port otwarty" : "błąd otwarcia portu");
    if (!opened.port) return LinkResult::Failed;
    std::unique_ptr<Transport> port = traced(std::move(opened.port), trace_);
    port->setInterrupt(interrupt_.get());
    timeoutsRefused_ = opened.timeoutsRefused;
    auto serial = std::make_unique<SerialExchange>(std::move(port), exchangeLimits());
    if (variant_.loggerSerialOpening) {
        if (fastSpeed) serial->switchToFastSpeed(*clock_);
        serial->settle(*clock_);
    }
    exchange_ = std::move(serial);
    return LinkResult::Ok;
}

void ModuleLink::close() {
    if (exchange_) exchange_->close(*clock_);
    exchange_.reset();
}

bool ModuleLink::isOpen() const { return exchange_ && exchange_->transport(); }

bool ModuleLink::connectionLost() const { return !isOpen() || exchange_->transport()->gone(); }

LinkResult ModuleLink::sendCommand(std::string_view command) {
    if (!isOpen() || interrupted()) return isSerial() ? LinkResult::Failed : LinkResult::SendError;
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const ReplyFrame replyFrame = command.starts_with(link::command::kVersion) ? ReplyFrame::Version : ReplyFrame::Command;
    return exchange_->command(frame(command, line), replyFrame, receiveArea_, versionText_);
}

LinkResult ModuleLink::query(std::string_view command) {
    receivedCount_ = 0;
    receiveArea_[0] = 0;
    if (!isOpen() || interrupted()) return LinkResult::Failed;
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const ReplyFrame replyFrame = shortReplyMode_ ? ReplyFrame::ShortQuery : ReplyFrame::Query;
    return exchange_->query(frame(command, line), replyFrame, shortReplyMode_ ? kShortQueryLimitMs : kQueryLimitMs,
                            receiveArea_, receivedCount_);
}

std::size_t ModuleLink::queryFixed(std::string_view command, std::size_t expected) {
    receivedCount_ = 0;
    receiveArea_[0] = 0;
    const std::size_t got = queryFixedInto(command, expected, {receiveArea_.data(), kReceiveAreaSize}, kFixedAreaLimitMs, true);
    receivedCount_ = got;
    receiveArea_[got] = 0;
    return got;
}

std::size_t ModuleLink::queryFixed(std::string_view command, std::size_t expected, std::span<std::uint8_t> destination) {
    return queryFixedInto(command, expected, destination, kFixedBufferLimitMs, false);
}

std::size_t ModuleLink::queryFixedInto(std::string_view command, std::size_t expected, std::span<std::uint8_t> destination,
                                       std::uint32_t tcpLimitMs, bool intoArea) {
    if (!isOpen() || interrupted()) return 0;
    std::array<std::uint8_t, kCommandMax + 1> line{};
    const std::span<const std::uint8_t> framed = frame(command, line);
    if (framed.empty()) return 0;
    const BinaryReplyTrace replyTrace(trace_.get(), &frameDescriber_);
    return exchange_->fixed(framed, std::min(expected, destination.size()), destination, tcpLimitMs, intoArea);
}

void ModuleLink::drainInput() {
    if (isOpen()) exchange_->transport()->discardInput(kDrainBytes);
}

} // namespace kavrel::link
