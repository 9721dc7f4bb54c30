// The heading line of the history CSV: one heading per column the data lines write.
#pragma once

#include <string>
#include <vector>

#include "logger/descriptions/line_descriptions.h"
#include "logger/values/value_kind.h"

namespace kavrel::logger {

struct HeaderColumns {
    LineConfiguration lines{};   // from the status read before the download
    bool extendedLines = false;  // the status announces extended lines (or an energy meter)
    bool energyMeter = false;    // XL9..XL16 read from an energy meter
    bool full = true;            // every column: fullExport set and not printing
};

// The headings one by one, in column order after "Lp" and "Czas RTC": the input lines,
// the module's state and counters (ending in "Poprawność"), the extended lines.
struct CsvHeadings {
    std::vector<std::string> inputs, states, extended;
    std::vector<std::string> inputIds, extendedIds;   // "L3", "XL1": the line of each heading
};
CsvHeadings csvHeadings(const LineDescriptions& descriptions, const HeaderColumns& columns);

// The heading line in the program's own form (comma-separated), ending in a line feed.
std::string csvHeader(const LineDescriptions& descriptions, const HeaderColumns& columns);

} // namespace kavrel::logger
