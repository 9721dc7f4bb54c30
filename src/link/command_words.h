// The commands that open and close an exchange with the module, and the measurement
// queries, each written once: every program sends them (the monitor through its link, the
// fleet through its own non-blocking exchange), and the link recognises the version query
// by its reply.
#pragma once

#include <string_view>

namespace kavrel::link::command {

inline constexpr std::string_view kHalt = "HALT!";            // the module stops its own traffic
inline constexpr std::string_view kDebugOff = "DEBUG=0";      // no diagnostic lines in the replies
inline constexpr std::string_view kHaltDebugOff = "HALT! DEBUG=0";   // both in one line (logger)
inline constexpr std::string_view kVersion = "VER?";          // answered by "OK" and the version text
inline constexpr std::string_view kMeasure = "MSR?";          // answered by "MSR=" and the lines' readings
inline constexpr std::string_view kMeasureExtended = "MSRX?"; // answered by "MSRX=" and the extended lines' readings
inline constexpr std::string_view kEndOfTransfer = "*EOT!";   // the logger's line back to 9600 baud

} // namespace kavrel::link::command
