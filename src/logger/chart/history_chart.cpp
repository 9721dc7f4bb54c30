#include "logger/chart/history_chart.h"

#include <algorithm>
#include <array>
#include <limits>

#include "common/qt/chart/polish_format.h"
#include "common/win1250.h"

namespace kavrel::logger {
namespace {

// Axis groups and their titles.
constexpr const char* kRawGroup = "surowe";
constexpr const char* kExtendedGroup = "XL";
constexpr const char* kEnergyGroup = "energia";
constexpr const char* kOtherGroup = "inne";

// The energy meter's columns without brackets, and those whose unit is the meter's.
constexpr std::array<const char*, 7> kEnergyHeadings = {"I [A]", "f [Hz]", "P [W]", "S [VA]", "cos fi", "kWh", "Wh"};

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
    if (std::find(kEnergyHeadings.begin(), kEnergyHeadings.end(), heading) != kEnergyHeadings.end()) {
        const std::size_t open = heading.find(" [");
        if (open != std::string::npos) {
            parts.name = heading.substr(0, open);
            parts.unit = heading.substr(open + 2, heading.size() - open - 3);
        } else if (heading != "cos fi") {
            parts.unit = heading;
        }
        parts.group = kEnergyGroup;
        return parts;
    }
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

::kavrel::ui::ChartData historyChart(const HistoryData& history, const std::string& title, const HistoryChartChoice& choice,
                           std::vector<std::string>& missing) {
    ::kavrel::ui::ChartData chart;
    chart.title = title;
    chart.timeTitle = "Czas RTC";
    chart.axisTitles = {{"V", "U [V]"},     {"°C", "T [°C]"},           {"%", "RH [%]"},
                        {kRawGroup, "Wartość surowa"}, {kExtendedGroup, "Linie XL"}, {kEnergyGroup, "Licznik energii"},
                        {kOtherGroup, "Wartość"}};
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
