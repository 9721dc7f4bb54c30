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

std::string dottedAddress(std::uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

// The field of "MSR=" that tells whether the module has extended lines.
constexpr int kExtModeField = 18;

// The fields of a cut reply that are whole: all but the one the cut runs through.
int cutFields(std::string_view text) {
    int blanksAfterPrefix = 0;
    for (std::size_t i = 4; i < text.size(); ++i)
        if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] != ' ') ++blanksAfterPrefix;
    return blanksAfterPrefix;
}

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

} // namespace

static_assert(POLLOUT == 0x004 && POLLIN == 0x001, "events() spells the poll bits out to keep <poll.h> out of the header");

ModuleExchange::ModuleExchange(std::string host, std::uint16_t port, ExchangeLimits limits)
    : host_(std::move(host)), port_(port), limits_(limits) {}

ModuleExchange::ModuleExchange(std::uint32_t address, std::uint16_t port, ExchangeLimits limits)
    : ModuleExchange(dottedAddress(address), port, limits) {}

ModuleExchange::~ModuleExchange() { close(); }

void ModuleExchange::setTrace(std::shared_ptr<link::WireTrace> trace, std::string module) {
    trace_ = std::move(trace);
    traceName_ = std::move(module);
}

void ModuleExchange::traceEvent(char direction, std::string_view utf8Text) {
    if (section_) section_->event(direction, utf8Text);
}

void ModuleExchange::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        traceEvent('=', "połączenie zamknięte");
    }
    fd_ = -1;
    lookup_.reset();
    step_ = Step::Idle;
}

void ModuleExchange::begin(Steady::time_point now) {
    extendedAnswered_ = false;
    incomplete_ = false;
    localError_ = 0;
    connectFailure_ = {};
    if (trace_) {
        const bool v6 = host_.find(':') != std::string::npos;
        const std::string where = (v6 ? "[" + host_ + "]" : host_) + ":" + std::to_string(port_);
        section_ = std::make_unique<link::TraceSection>(traceName_ + " TCP " + where);
    }
    if (fd_ >= 0 && discardStaleInput()) {
        send(link::command::kMeasure, Step::Measure, now);
        return;
    }
    close();
    lookUp(now);
}

bool ModuleExchange::discardStaleInput() {
    std::array<std::uint8_t, 512> junk{};
    for (;;) {
        const ssize_t n = ::recv(fd_, junk.data(), junk.size(), MSG_DONTWAIT);
        if (n > 0) {
            if (section_) section_->received(std::span(junk.data(), static_cast<std::size_t>(n)));
            traceEvent('=', "odpowiedź po czasie odrzucona");
            continue;
        }
        if (n == 0) return false;
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
}

void ModuleExchange::lookUp(Steady::time_point now) {
    connectDeadline_ = now + std::chrono::milliseconds(limits_.connectMs);
    lookup_ = std::make_unique<HostLookup>(host_, port_);
    ++descriptors_;
    step_ = Step::LookingUp;
    deadline_ = connectDeadline_;
    if (lookup_->result() != LookupResult::Pending) lookedUp(now);
}

void ModuleExchange::lookedUp(Steady::time_point now) {
    const LookupResult result = lookup_->result();
    if (result == LookupResult::Pending) return;
    addresses_ = lookup_->addresses();
    const int systemError = lookup_->systemError();
    nextAddress_ = 0;
    lookup_.reset();
    step_ = Step::Idle;
    if (result == LookupResult::Found) return connectNext(now);
    if (result == LookupResult::Failed && systemError != 0) return failed(systemError);
    // No such name, or no resolver answering: either way the module cannot be reached by it.
    connectFailure_ = {result == LookupResult::NotFound ? link::OpenFailureKind::NameNotFound : link::OpenFailureKind::TimedOut, 0};
    traceEvent('=', connectReasonLabel(connectReasonText(connectFailure_)));
    finish(Outcome::NoAnswer, false);
}

void ModuleExchange::connectNext(Steady::time_point now) {
    if (nextAddress_ >= addresses_.size()) return finish(Outcome::NoAnswer, false);
    const SocketAddress& where = addresses_[nextAddress_++];
    fd_ = ::socket(where.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ++descriptors_;
    if (fd_ < 0) return failed(errno);
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (section_) section_->event('=', "łączenie z " + addressText(where));
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(&where.address), where.size) == 0) return connected(now);
    if (errno != EINPROGRESS) return connectFailed(errno, now);
    step_ = Step::Connecting;
    deadline_ = connectDeadline_;
}

void ModuleExchange::connectFailed(int error, Steady::time_point now) {
    if (isLocalError(error)) return failed(error);
    connectFailure_ = link::tcpConnectFailure(error);
    traceEvent('=', connectReasonLabel(connectReasonText(connectFailure_)));
    ::close(fd_);
    fd_ = -1;
    step_ = Step::Idle;
    // A name with an IPv6 and an IPv4 address: the module may listen on only one of them.
    if (nextAddress_ < addresses_.size() && now < connectDeadline_) return connectNext(now);
    finish(connectFailure_.kind == link::OpenFailureKind::Refused ? Outcome::Refused : Outcome::NoAnswer, false);
}

void ModuleExchange::connected(Steady::time_point now) {
    connectFailure_ = {};
    traceEvent('=', "połączono");
    send(link::command::kDebugOff, Step::DebugOff, now);
}

void ModuleExchange::send(std::string_view command, Step next, Steady::time_point now) {
    const std::string line = std::string(command) + '\r';
    // A command line is a few bytes: it fits an empty socket buffer whole or the link is broken.
    const ssize_t n = ::send(fd_, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (section_) section_->sent(bytesOf(line));
    if (n != static_cast<ssize_t>(line.size())) {
        traceEvent('>', "(błąd zapisu)");
        return finish(Outcome::NoAnswer, false);
    }
    replyCount_ = 0;
    step_ = next;
    deadline_ = now + std::chrono::milliseconds(limits_.replyMs);
}

void ModuleExchange::onReady(short revents, Steady::time_point now) {
    if (step_ == Step::Idle) return;
    if (step_ == Step::LookingUp) return lookedUp(now);
    if (step_ == Step::Connecting) {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
        if (error != 0) return connectFailed(error, now);
        if (!(revents & POLLOUT)) return;
        return connected(now);
    }
    const std::size_t room = reply_.size() - 1 - replyCount_;
    const ssize_t n = ::recv(fd_, reply_.data() + replyCount_, room, MSG_DONTWAIT);
    if (n == 0) {
        traceEvent('<', "(połączenie zamknięte)");
        return finish(Outcome::NoAnswer, false);
    }
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
        traceEvent('<', "(błąd odczytu)");
        return finish(Outcome::NoAnswer, false);
    }
    if (section_) section_->received(std::span(reply_.data() + replyCount_, static_cast<std::size_t>(n)));
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
        send(link::command::kMeasure, Step::Measure, now);
        break;
    case Step::Measure: {
        if (!monitor::parseMeasurementReply(text, snapshot_)) return finish(Outcome::NoAnswer, false);
        // A line longer than the reply area: what follows the cut would be read as the next
        // reply, so the connection goes and the fields past the cut count as not sent.
        const bool cut = replyCount_ == reply_.size() - 1 && !link::frameComplete(link::ReplyFrame::ShortQuery, reply_.data(), replyCount_);
        if (cut) snapshot_.fieldsSent = std::min(snapshot_.fieldsSent, cutFields(text));
        incomplete_ = cut || snapshot_.fieldsSent < monitor::kMeasurementFields;
        if (cut) {
            traceEvent('=', "odpowiedź dłuższa niż " + std::to_string(replyCount_) + " B: ucięta");
            return finish(Outcome::Ok, false);
        }
        if (snapshot_.extMode > 0 && snapshot_.fieldsSent > kExtModeField)
            return send(link::command::kMeasureExtended, Step::Extended, now);
        finish(Outcome::Ok, true);
        break;
    }
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
    case Step::LookingUp:
    case Step::Connecting:
        // The connect's limit covers the lookup and every address tried.
        connectFailure_ = {link::OpenFailureKind::TimedOut, 0};
        traceEvent('=', connectReasonLabel(connectReasonText(connectFailure_)));
        finish(Outcome::NoAnswer, false);
        break;
    case Step::DebugOff:
        // As in the monitor, only the version query's answer decides whether the module is there.
        traceEvent('<', "(brak odpowiedzi)");
        send(link::command::kVersion, Step::Version, now);
        break;
    case Step::Extended:
        // The measurement itself was answered; its extended readings are missing this time.
        traceEvent('<', "(brak odpowiedzi)");
        finish(Outcome::Ok, true);
        break;
    default:
        traceEvent('<', "(brak odpowiedzi)");
        finish(Outcome::NoAnswer, false);
        break;
    }
}

void ModuleExchange::failed(int error) {
    if (!isLocalError(error)) return finish(Outcome::NoAnswer, false);
    localError_ = error;
    traceEvent('=', "błąd lokalny: " + localErrorText(error));
    finish(Outcome::LocalError, false);
}

void ModuleExchange::finish(Outcome outcome, bool keepConnection) {
    outcome_ = outcome;
    if (!keepConnection) close();
    step_ = Step::Idle;
    if (section_) {
        trace_->write(*section_);
        section_.reset();
    }
}

} // namespace kavrel::fleet
