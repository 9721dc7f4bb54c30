// The round trips of one connection, and the reply limits that grow with them.
//
// The protocol's reply limits were set for a cable: a GPRS link whose round trip is a second
// or more runs out the monitor's 500 ms before the module's answer arrives, and the answer
// then lands in front of the next reply. In the default timing a limit therefore grows with
// what this connection has shown: never below the protocol's value, at least twice the
// longest round trip measured so far, and 3 s for an exchange before any round trip is known.
// The compatible timing asks for the protocol's values as they are (grow = false).
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

#include "link/interval_timer.h"

namespace kavrel::link {

class RoundTripTracker {
public:
    static constexpr std::uint32_t kUnknownRoundTripLimitMs = 3000;

    // A new connection: what an earlier one showed says nothing about this one.
    void reset() { longestMs_.reset(); }

    // A complete reply arrived this many milliseconds after its command went out. What a
    // system without a monotonic counter reads is no time at all and is not taken in.
    void measured(std::uint32_t milliseconds) {
        if (milliseconds >= IntervalTimer::kNoCounterElapsed) return;
        longestMs_ = std::max(longestMs_.value_or(0), milliseconds);
    }

    // The longest round trip of this connection; none before the first complete reply.
    std::optional<std::uint32_t> longestMs() const { return longestMs_; }

    // How long to wait for a reply whose protocol limit is protocolMs.
    std::uint32_t limitMs(std::uint32_t protocolMs, bool grow) const {
        if (!grow) return protocolMs;
        if (!longestMs_) return std::max(protocolMs, kUnknownRoundTripLimitMs);
        const std::uint64_t twice = 2 * static_cast<std::uint64_t>(*longestMs_);
        const auto cap = static_cast<std::uint64_t>(std::numeric_limits<std::uint32_t>::max());
        return std::max(protocolMs, static_cast<std::uint32_t>(std::min(twice, cap)));
    }

private:
    std::optional<std::uint32_t> longestMs_;
};

} // namespace kavrel::link
