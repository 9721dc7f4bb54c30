#include "fleet/module_exchange.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "link/command_words.h"
#include "link/reply_frames.h"

namespace kavrel::fleet {
namespace {

constexpr std::string_view kMeasure = "MSR?";
constexpr std::string_view kMeasureExtended = "MSRX?";

} // namespace

static_assert(POLLOUT == 0x004 && POLLIN == 0x001, "events() spells the poll bits out to keep <poll.h> out of the header");

ModuleExchange::ModuleExchange(std::uint32_t address, std::uint16_t port, ExchangeLimits limits)
    : address_(address), port_(port), limits_(limits) {}

ModuleExchange::~ModuleExchange() { close(); }

void ModuleExchange::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    step_ = Step::Idle;
}

void ModuleExchange::begin(Steady::time_point now) {
    extendedAnswered_ = false;
    localError_ = 0;
    if (fd_ >= 0 && discardStaleInput()) {
        send(kMeasure, Step::Measure, now);
        return;
    }
    close();
    connect(now);
}

bool ModuleExchange::discardStaleInput() {
    std::array<std::uint8_t, 512> junk{};
    for (;;) {
        const ssize_t n = ::recv(fd_, junk.data(), junk.size(), MSG_DONTWAIT);
        if (n > 0) continue;
        if (n == 0) return false;
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
}

void ModuleExchange::connect(Steady::time_point now) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return failed(errno);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_port = htons(port_);
    where.sin_addr.s_addr = address_;
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0) {
        send(link::command::kDebugOff, Step::DebugOff, now);
        return;
    }
    if (errno == ECONNREFUSED) return finish(Outcome::Refused, false);
    if (errno != EINPROGRESS) return failed(errno);
    step_ = Step::Connecting;
    deadline_ = now + std::chrono::milliseconds(limits_.connectMs);
}

void ModuleExchange::send(std::string_view command, Step next, Steady::time_point now) {
    const std::string line = std::string(command) + '\r';
    // A command line is a few bytes: it fits an empty socket buffer whole or the link is broken.
    const ssize_t n = ::send(fd_, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n != static_cast<ssize_t>(line.size())) return finish(Outcome::NoAnswer, false);
    replyCount_ = 0;
    step_ = next;
    deadline_ = now + std::chrono::milliseconds(limits_.replyMs);
}

void ModuleExchange::onReady(short revents, Steady::time_point now) {
    if (step_ == Step::Idle) return;
    if (step_ == Step::Connecting) {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        if (error == ECONNREFUSED) return finish(Outcome::Refused, false);
        if (error != 0) return finish(Outcome::NoAnswer, false);
        if (!(revents & POLLOUT)) return;
        return send(link::command::kDebugOff, Step::DebugOff, now);
    }
    const std::size_t room = reply_.size() - 1 - replyCount_;
    const ssize_t n = ::recv(fd_, reply_.data() + replyCount_, room, MSG_DONTWAIT);
    if (n == 0) return finish(Outcome::NoAnswer, false);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        return finish(Outcome::NoAnswer, false);
    }
    replyCount_ += static_cast<std::size_t>(n);
    reply_[replyCount_] = 0;
    const link::ReplyFrame frame = step_ == Step::DebugOff  ? link::ReplyFrame::Command
                                   : step_ == Step::Version ? link::ReplyFrame::Version
                                                            : link::ReplyFrame::ShortQuery;
    // A full area without a frame's end is as far as a reply goes.
    if (link::frameComplete(frame, reply_.data(), replyCount_) || replyCount_ == reply_.size() - 1) replyArrived(now);
}

void ModuleExchange::replyArrived(Steady::time_point now) {
    const std::string_view text(reinterpret_cast<const char*>(reply_.data()), replyCount_);
    switch (step_) {
    case Step::DebugOff:
        send(link::command::kVersion, Step::Version, now);
        break;
    case Step::Version:
        send(kMeasure, Step::Measure, now);
        break;
    case Step::Measure:
        if (!monitor::parseMeasurementReply(text, snapshot_)) return finish(Outcome::NoAnswer, false);
        if (snapshot_.extMode > 0) return send(kMeasureExtended, Step::Extended, now);
        finish(Outcome::Ok, true);
        break;
    case Step::Extended:
        extendedAnswered_ = monitor::parseExtendedReply(text, readings_);
        finish(Outcome::Ok, true);
        break;
    default: break;
    }
}

void ModuleExchange::onDeadline(Steady::time_point now) {
    if (step_ == Step::Idle || now < deadline_) return;
    switch (step_) {
    case Step::DebugOff:
        // As in the monitor, only the version query's answer decides whether the module is there.
        send(link::command::kVersion, Step::Version, now);
        break;
    case Step::Extended:
        // The measurement itself was answered; its extended readings are missing this time.
        finish(Outcome::Ok, true);
        break;
    default:
        finish(Outcome::NoAnswer, false);
        break;
    }
}

void ModuleExchange::failed(int error) {
    if (!isLocalError(error)) return finish(Outcome::NoAnswer, false);
    localError_ = error;
    finish(Outcome::LocalError, false);
}

void ModuleExchange::finish(Outcome outcome, bool keepConnection) {
    outcome_ = outcome;
    if (!keepConnection) close();
    step_ = Step::Idle;
}

} // namespace kavrel::fleet
