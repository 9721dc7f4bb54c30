// One "Z" record as one row of the HTML event log.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "logger/records/record_layout.h"
#include "logger/records/record_time.h"
#include "logger/values/value_kind.h"

namespace kavrel::logger {

inline constexpr int kNamedEventCodes = 22;

// The Polish name of event codes 0..21 (Windows-1250); empty for other codes.
const std::string& eventName(int code);

// The event cell "<TD> ... </TD>": the name, the parameter text chosen from P1 and P2,
// wrapped in the code's highlight. The line configuration names the line of a level event.
std::string describeEvent(int code, int p1, int p2, const LineConfiguration& lines);

// The module's event text for HTML: up to 22 characters, ended by NUL; &, < and > are
// escaped and an apostrophe before "C" becomes the degree sign.
std::string eventTextHtml(std::span<const std::uint8_t> text);

// The whole "<TR> ... </TR>" row of a "Z" record, ending in a line feed.
std::string eventRow(const RecordBytes& record, const RecordTime& time, bool correct, const LineConfiguration& lines);

} // namespace kavrel::logger
