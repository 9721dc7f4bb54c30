// What differs between the programs' use of the module link. One ModuleLink class
// takes one of these; there are no per-program copies of the exchange code.
#pragma once

#include <cstdint>

namespace kavrel::link {

// The serial time-outs the protocol is defined by, in milliseconds: a read ends at the
// requested count, readInterval after the last byte once one has arrived, or after
// readMultiplier x count + readConstant; a write gives up after
// writeMultiplier x count + writeConstant.
struct SerialTimeouts {
    std::uint32_t readInterval;
    std::uint32_t readMultiplier;
    std::uint32_t readConstant;
    std::uint32_t writeMultiplier;
    std::uint32_t writeConstant;
};

struct LinkVariant {
    std::uint32_t tcpConnectLimitMs;
    SerialTimeouts serialTimeouts;
    std::uint32_t sendCommandTcpLimitMs;
    bool flushBeforeSendCommand;   // one non-blocking receive before each TCP sendCommand
    bool loggerSerialOpening;      // 9600 first, optional "*S115!" switch, 200 ms settle, discard

    static LinkVariant configurator() { return {5000, {500, 10, 5000, 10, 600}, 5000, true, false}; }
    static LinkVariant monitor() { return {5000, {500, 10, 5000, 10, 600}, 500, false, false}; }
    static LinkVariant logger() { return {3000, {500, 10, 2000, 10, 10}, 5000, false, true}; }
};

} // namespace kavrel::link
