// A history file's lines as a chart: each column named by its heading without the unit and
// put on the axis of its kind (volts, degrees, humidity, raw counts, the extended lines,
// the energy meter), optionally only some lines and some days.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/chart/chart_data.h"
#include "logger/chart/history_series.h"

namespace kavrel::logger {

// A column heading split into the line's name and its unit, in UTF-8: "T2 [°C]" -> "T2", "°C",
// "U4 []" -> "U4", "", "XL1" -> "XL1", "".
struct HeadingParts {
    std::string name;
    std::string unit;
    std::string group;   // the axis group (see historyAxisTitles)
};
HeadingParts headingParts(const std::string& headingCp1250);

struct HistoryChartChoice {
    std::vector<std::string> lines;      // names (UTF-8, without the unit) to draw; empty: all
    std::optional<LocalDateTime> from;   // the first day drawn (from its midnight)
    std::optional<LocalDateTime> to;     // the last day drawn (to its end)
};

// The lines a chart draws when none are chosen: the measured lines whose values vary, in
// the file's order, at most `most` of them; the first `most` lines when none varies.
std::vector<std::string> defaultChartLines(const HistoryData& history, std::size_t most = 8);

// The chart of `history`, titled `title`. Lines not in the choice are left out; `missing`
// gets each chosen name that the file has no column for.
::kavrel::ui::ChartData historyChart(const HistoryData& history, const std::string& title, const HistoryChartChoice& choice,
                           std::vector<std::string>& missing);

} // namespace kavrel::logger
