// What a chart shows, without Qt: named series of samples over time, each in its unit, with
// optional LOW/HIGH marks. Times are wall-clock milliseconds (the calendar date and time
// counted as if the clock had no zone), so that ticks fall on local midnights and hours and
// a history file's times are drawn exactly as written.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace kavrel::ui {

using WallMs = std::int64_t;

inline constexpr WallMs kSecondMs = 1000;
inline constexpr WallMs kMinuteMs = 60 * kSecondMs;
inline constexpr WallMs kHourMs = 60 * kMinuteMs;
inline constexpr WallMs kDayMs = 24 * kHourMs;

enum class SampleMark : std::uint8_t { None, Low, High };

inline constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

struct ChartSeries {
    std::string name;                // UTF-8, as the legend shows it ("L1")
    std::string unit;                // UTF-8 ("V", "°C", "%", "" for plain numbers)
    std::string group;               // the lines of one group share a value axis; empty: by unit
    std::vector<WallMs> times;       // ascending
    std::vector<double> values;      // one per time; kNoValue breaks the line
    std::vector<SampleMark> marks;   // empty, or one per time
    bool shown = true;

    // "L1 [V]", or the name alone without a unit.
    std::string label() const { return unit.empty() ? name : name + " [" + unit + "]"; }
};

struct TimeSpan {
    WallMs from = 0;
    WallMs to = 0;
    bool operator==(const TimeSpan&) const = default;
    WallMs length() const { return to - from; }
};

struct ChartData {
    std::string title;                           // above the legend; none when empty
    std::string timeTitle;                       // under the time axis ("Czas")
    std::vector<ChartSeries> series;
    std::map<std::string, std::string> axisTitles;   // by group ("V" -> "U [V]"); default "[unit]"
    WallMs gapAfter = 0;     // a longer step between samples is a gap; 0: three times the usual step
    WallMs minimumSpan = 0;  // the whole range is at least this long, ending at the last sample
    std::string lowMark = "LOW";
    std::string highMark = "HIGH";
};

// The first and last time of every series (shown or not); from == to when there is one
// sample; {0, 0} when there is none.
TimeSpan wholeSpan(const ChartData& data);

// The step between samples above which a series is broken: data.gapAfter, or three times
// the median step of the series (none when the series has fewer than two samples).
WallMs gapThreshold(const ChartData& data, const ChartSeries& series);

} // namespace kavrel::ui

namespace kavrel::ui {

// A series' axis group: its group, else its unit.
inline const std::string& axisGroup(const ChartSeries& series) { return series.group.empty() ? series.unit : series.group; }

// One value axis per group among the shown series, in the order the groups first appear;
// `axisOf[i]` is series i's axis (-1 when the series is hidden).
struct AxisGroups {
    std::vector<std::string> groups;
    std::vector<int> axisOf;
};
AxisGroups groupAxes(const ChartData& data);

// The title of the axis of `group`: the chart's own for it, else "[group]" (none for none).
std::string axisTitle(const ChartData& data, const std::string& group);

} // namespace kavrel::ui
