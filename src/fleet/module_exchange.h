// The monitor's exchange with one module, as steps that never block: connect, "DEBUG=0" and
// "VER?" once per connection, then "MSR?" (and "MSRX?" when the module has extended lines)
// on every poll. The fleet's loop waits on many of these at once, so a module that is
// silent, slow or refusing holds up only itself. The replies are framed and decoded by the
// monitor's own rules; each step has the monitor's time limit.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "fleet/poll_record.h"

namespace kavrel::fleet {

using Steady = std::chrono::steady_clock;

struct ExchangeLimits {
    int connectMs = 5000;   // the monitor's TCP connect limit
    int replyMs = 500;      // the monitor's limit for a command's "OK" and a measurement line
};

class ModuleExchange {
public:
    ModuleExchange(std::uint32_t address, std::uint16_t port, ExchangeLimits limits);
    ~ModuleExchange();
    ModuleExchange(const ModuleExchange&) = delete;
    ModuleExchange& operator=(const ModuleExchange&) = delete;

    // Begins a poll: reuses the open connection, or connects. May finish at once (refused).
    void begin(Steady::time_point now);
    bool busy() const { return step_ != Step::Idle; }
    // What to wait for while busy: the socket, its events and the step's deadline.
    int fd() const { return fd_; }
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
    // errno of a LocalError outcome.
    int localError() const { return localError_; }
    bool connected() const { return fd_ >= 0 && step_ != Step::Connecting; }
    // Drops the connection (a clean end); the module sees it closed.
    void close();

private:
    enum class Step { Idle, Connecting, DebugOff, Version, Measure, Extended };

    void connect(Steady::time_point now);
    void send(std::string_view command, Step next, Steady::time_point now);
    void replyArrived(Steady::time_point now);
    void finish(Outcome outcome, bool keepConnection);
    // A failed socket call: this computer's failure, or the module's silence.
    void failed(int error);
    // Throws away bytes of earlier replies (a slow module's late answer); false when the
    // connection turned out to be closed or broken.
    bool discardStaleInput();

    std::uint32_t address_;
    std::uint16_t port_;
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
    int localError_ = 0;
};

} // namespace kavrel::fleet
