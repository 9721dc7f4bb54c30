// The heading line of the history CSV: one heading per column the data lines write.
#pragma once

#include <string>

#include "logger/descriptions/line_descriptions.h"
#include "logger/values/value_kind.h"

namespace kavrel::logger {

struct HeaderColumns {
    LineConfiguration lines{};   // from the status read before the download
    bool extendedLines = false;  // the status announces extended lines (or an energy meter)
    bool energyMeter = false;    // XL9..XL16 read from an energy meter
    bool full = true;            // every column: fullExport set and not printing
};

// The heading line in the program's own form (comma-separated), ending in a line feed.
std::string csvHeader(const LineDescriptions& descriptions, const HeaderColumns& columns);

} // namespace kavrel::logger
