// The HTML page around the event rows.
#pragma once

#include <string>

#include "common/clock.h"

namespace kavrel::logger {

// Everything before the first event row: the head, the title with the time the log was
// made, and the table's heading row.
std::string htmlHead(const LocalDateTime& generated);

// What a complete download writes after the last row.
inline constexpr const char* kHtmlTail = "\n</TABLE>\n</BODY>\n</HTML>\n";

} // namespace kavrel::logger
