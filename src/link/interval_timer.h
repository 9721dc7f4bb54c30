// The millisecond stopwatch every wait of the link is measured with.
#pragma once

#include <chrono>
#include <cstdint>

namespace kavrel::link {

class IntervalTimer {
public:
    // What elapsedMs answers on a system without a monotonic clock: every wait ends at its
    // first check.
    static constexpr std::uint32_t kNoCounterElapsed = 1'000'000'000;

    void start() { started_ = std::chrono::steady_clock::now(); }

    std::uint32_t elapsedMs() const {
        if (!counterAvailable_) return kNoCounterElapsed;
        const auto elapsed = std::chrono::steady_clock::now() - started_;
        return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    }

    // Milliseconds left until the limit, never negative.
    int remainingMs(std::uint32_t limitMs) const {
        const std::uint32_t elapsed = elapsedMs();
        return elapsed >= limitMs ? 0 : static_cast<int>(limitMs - elapsed);
    }

    // Simulates a system without the counter (for tests of the waits' fallback).
    void setCounterAvailable(bool available) { counterAvailable_ = available; }

private:
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    bool counterAvailable_ = true;
};

} // namespace kavrel::link
