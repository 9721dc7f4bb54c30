// The monitor's exchange with one module, as steps that never block: the host's lookup (a
// name is looked up again for every connection), connect (IPv6 or IPv4, each address the
// name has in turn), "DEBUG=0" and
// "VER?" once per connection, then "MSR?" (and "MSRX?" when the module has extended lines)
// on every poll. The fleet's loop waits on many of these at once, so a module that is
// silent, slow or refusing holds up only itself. The replies are framed and decoded by the
// monitor's own rules; each step has the monitor's time limit (the lookup and the connect
// share the connect limit). Given a wire trace, each poll is written to it as a section of
// its own, headed by the module's name.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "fleet/host_lookup.h"
#include "fleet/poll_record.h"
#include "link/trace/wire_trace.h"

namespace kavrel::fleet {

using Steady = std::chrono::steady_clock;

struct ExchangeLimits {
    int connectMs = 5000;   // the monitor's TCP connect limit
    int replyMs = 500;      // the monitor's limit for a command's "OK" and a measurement line
};

class ModuleExchange {
public:
    // `host`: a dotted IPv4 address, an IPv6 address or a name.
    ModuleExchange(std::string host, std::uint16_t port, ExchangeLimits limits);
    // An IPv4 address in network byte order.
    ModuleExchange(std::uint32_t address, std::uint16_t port, ExchangeLimits limits);
    ~ModuleExchange();
    ModuleExchange(const ModuleExchange&) = delete;
    ModuleExchange& operator=(const ModuleExchange&) = delete;

    // Every poll from now on is written to `trace` as a section named `module`.
    void setTrace(std::shared_ptr<link::WireTrace> trace, std::string module);

    // Begins a poll: reuses the open connection, or connects. May finish at once (refused).
    void begin(Steady::time_point now);
    bool busy() const { return step_ != Step::Idle; }
    // What to wait for while busy: the socket, its events and the step's deadline.
    int fd() const { return step_ == Step::LookingUp ? lookup_->fd() : fd_; }
    // Grows with every descriptor fd() may name (a number the system may give out again):
    // a waiter that keeps its set between waits tells a new socket from an old one by it.
    unsigned long long descriptorSerial() const { return descriptors_; }
    short events() const { return step_ == Step::Connecting ? short(0x004 /*POLLOUT*/) : short(0x001 /*POLLIN*/); }
    Steady::time_point deadline() const { return deadline_; }
    // Moves on after the socket became ready, or after the deadline passed.
    void onReady(short revents, Steady::time_point now);
    void onDeadline(Steady::time_point now);

    // The result of the last finished poll (valid when !busy()).
    Outcome outcome() const { return outcome_; }
    const monitor::MeasurementSnapshot& measurement() const { return snapshot_; }
    const monitor::ExtendedReadings& extended() const { return readings_; }
    bool extendedAnswered() const { return extendedAnswered_; }
    // The measurement reply lacked fields or was cut at the reply area's end: only what it
    // carried is to be taken (measurement().fieldsSent).
    bool incomplete() const { return incomplete_; }
    // errno of a LocalError outcome.
    int localError() const { return localError_; }
    // Why the last poll's connection was not made (kind None when it was, or was open).
    const link::OpenFailure& connectFailure() const { return connectFailure_; }
    bool connected() const { return fd_ >= 0 && step_ != Step::Connecting; }
    // Drops the connection (a clean end); the module sees it closed.
    void close();

private:
    enum class Step { Idle, LookingUp, Connecting, DebugOff, Version, Measure, Extended };

    void lookUp(Steady::time_point now);
    void lookedUp(Steady::time_point now);
    // Connects to the next address of the lookup; `now` keeps the connect's deadline.
    void connectNext(Steady::time_point now);
    // A connect to one address failed with `error`: the next address, or the end.
    void connectFailed(int error, Steady::time_point now);
    void connected(Steady::time_point now);
    void traceEvent(char direction, std::string_view utf8Text);
    void send(std::string_view command, Step next, Steady::time_point now);
    void replyArrived(Steady::time_point now);
    void finish(Outcome outcome, bool keepConnection);
    // A failed socket call: this computer's failure, or the module's silence.
    void failed(int error);
    // Throws away bytes of earlier replies (a slow module's late answer); false when the
    // connection turned out to be closed or broken.
    bool discardStaleInput();

    std::string host_;
    std::uint16_t port_;
    std::unique_ptr<HostLookup> lookup_;
    unsigned long long descriptors_ = 0;
    std::vector<SocketAddress> addresses_;   // the lookup's, tried in turn
    std::size_t nextAddress_ = 0;
    Steady::time_point connectDeadline_{};
    link::OpenFailure connectFailure_;
    std::shared_ptr<link::WireTrace> trace_;
    std::string traceName_;
    std::unique_ptr<link::TraceSection> section_;
    ExchangeLimits limits_;
    int fd_ = -1;
    Step step_ = Step::Idle;
    Steady::time_point deadline_{};
    std::array<std::uint8_t, 4097> reply_{};
    std::size_t replyCount_ = 0;
    Outcome outcome_ = Outcome::NoAnswer;
    monitor::MeasurementSnapshot snapshot_;
    monitor::ExtendedReadings readings_;
    bool extendedAnswered_ = false;
    bool incomplete_ = false;
    int localError_ = 0;
};

} // namespace kavrel::fleet
