// The link's debug switch: with the environment variable KAVREL_TRACE set (to anything but
// "" or "0"), every byte sent to the module and received from it is shown on stderr, one
// line per write or read, with the time since the first one:
//   kavrel-trace    0.000 > HALT!\r
//   kavrel-trace    0.012 < OK\r
// Printable ASCII as it is, CR, LF and tab as \r \n \t, every other byte as \xNN.
#pragma once

#include <memory>

#include "link/transport.h"

namespace kavrel::link {

inline constexpr const char* kTraceVariable = "KAVREL_TRACE";

// The transport itself, or one that shows its traffic when the switch is on.
std::unique_ptr<Transport> traceWhenAsked(std::unique_ptr<Transport> transport);

} // namespace kavrel::link
