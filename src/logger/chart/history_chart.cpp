#include "logger/chart/history_chart.h"

#include <algorithm>
#include <array>
#include <limits>

#include "common/chart/polish_format.h"
#include "common/win1250.h"

namespace kavrel::logger {
namespace {

// Axis groups and their titles.
constexpr const char* kRawGroup = "surowe";
constexpr const char* kExtendedGroup = "XL";
constexpr const char* kOtherGroup = "inne";

// The energy meter's columns, each quantity on an axis of its own: the meter's power and
// energy are thousands where its current, frequency and power factor are units, and its
// mains voltage is twenty times an input line's.
struct EnergyColumn {
    const char* heading;
    const char* name;
    const char* unit;
    const char* group;
    const char* axisTitle;
};
constexpr std::array<EnergyColumn, 8> kEnergyColumns = {{
    {"U [V]", "U", "V", "licznik U", "U licznika [V]"},
    {"I [A]", "I", "A", "licznik I", "I [A]"},
    {"f [Hz]", "f", "Hz", "licznik f", "f [Hz]"},
    {"P [W]", "P", "W", "licznik P", "P [W]"},
    {"S [VA]", "S", "VA", "licznik S", "S [VA]"},
    {"cos fi", "cos fi", "", "licznik cos", "cos \u03c6"},
    {"kWh", "kWh", "kWh", "licznik kWh", "Energia [kWh]"},
    {"Wh", "Wh", "Wh", "licznik Wh", "Energia [Wh]"},
}};

::kavrel::ui::WallMs wallOf(const LocalDateTime& t) {
    return ::kavrel::ui::wallMs({t.year, t.month, t.day, t.hour, t.minute, t.second, 0});
}

bool startsWithExtended(const std::string& name) {
    return name.size() > 2 && name.compare(0, 2, "XL") == 0 &&
           name.find_first_not_of("0123456789", 2) == std::string::npos;
}

} // namespace

HeadingParts headingParts(const std::string& headingCp1250) {
    const std::string heading = cp1250::toUtf8(headingCp1250);
    HeadingParts parts{heading, "", ""};
    for (const EnergyColumn& column : kEnergyColumns)
        if (heading == column.heading) return {column.name, column.unit, column.group};
    const std::size_t open = heading.rfind(" [");
    if (open != std::string::npos && heading.back() == ']') {
        parts.name = heading.substr(0, open);
        parts.unit = heading.substr(open + 2, heading.size() - open - 3);
        parts.group = parts.unit.empty() ? kRawGroup : parts.unit;
        return parts;
    }
    parts.group = startsWithExtended(heading) ? kExtendedGroup : kOtherGroup;
    return parts;
}

std::vector<std::string> defaultChartLines(const HistoryData& history, std::size_t most) {
    std::vector<std::string> varying, first;
    for (const HistorySeries& series : history.series) {
        const std::string name = headingParts(series.name).name;
        if (first.size() < most) first.push_back(name);
        std::optional<double> seen;
        const bool varies = std::any_of(series.values.begin(), series.values.end(), [&](const std::optional<double>& v) {
            if (!v) return false;
            if (!seen) seen = v;
            return *v != *seen;
        });
        if (varies && varying.size() < most) varying.push_back(name);
    }
    return varying.empty() ? first : varying;
}

::kavrel::ui::ChartData historyChart(const HistoryData& history, const std::string& title, const HistoryChartChoice& choice,
                           std::vector<std::string>& missing) {
    ::kavrel::ui::ChartData chart;
    chart.title = title;
    chart.timeTitle = "Czas RTC";
    chart.axisTitles = {{"V", "U [V]"},     {"°C", "T [°C]"},           {"%", "RH [%]"},
                        {kRawGroup, "Wartość surowa"}, {kExtendedGroup, "Linie XL"}, {kOtherGroup, "Wartość"}};
    for (const EnergyColumn& column : kEnergyColumns) chart.axisTitles[column.group] = column.axisTitle;
    chart.minimumSpan = ::kavrel::ui::kMinuteMs;

    // The rows of the chosen days.
    const ::kavrel::ui::WallMs from = choice.from ? wallOf({choice.from->year, choice.from->month, choice.from->day}) : std::numeric_limits<::kavrel::ui::WallMs>::min();
    const ::kavrel::ui::WallMs to = choice.to ? wallOf({choice.to->year, choice.to->month, choice.to->day}) + ::kavrel::ui::kDayMs - 1 : std::numeric_limits<::kavrel::ui::WallMs>::max();
    std::vector<std::size_t> rows;
    std::vector<::kavrel::ui::WallMs> times;
    for (std::size_t r = 0; r < history.times.size(); ++r) {
        const ::kavrel::ui::WallMs t = wallOf(history.times[r]);
        if (t < from || t > to) continue;
        rows.push_back(r);
        times.push_back(t);
    }
    // The file's rows are in the module's order, which a clock set back may break.
    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return times[a] < times[b]; });

    missing.clear();
    for (const std::string& wanted : choice.lines) {
        const bool found = std::any_of(history.series.begin(), history.series.end(),
                                       [&](const HistorySeries& s) { return headingParts(s.name).name == wanted; });
        if (!found) missing.push_back(wanted);
    }
    for (const HistorySeries& source : history.series) {
        HeadingParts parts = headingParts(source.name);
        if (!choice.lines.empty() && std::find(choice.lines.begin(), choice.lines.end(), parts.name) == choice.lines.end())
            continue;
        ::kavrel::ui::ChartSeries series;
        series.name = std::move(parts.name);
        series.unit = std::move(parts.unit);
        series.group = std::move(parts.group);
        series.times.reserve(order.size());
        series.values.reserve(order.size());
        // A row without the line's value (an extended line in a record without them) is
        // left out; only a step much longer than the line's usual one breaks it.
        for (std::size_t i : order) {
            const std::size_t r = rows[i];
            if (r >= source.values.size() || !source.values[r]) continue;
            series.times.push_back(times[i]);
            series.values.push_back(*source.values[r]);
        }
        chart.series.push_back(std::move(series));
    }
    return chart;
}

} // namespace kavrel::logger
