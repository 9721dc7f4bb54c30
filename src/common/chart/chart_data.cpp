#include "common/chart/chart_data.h"

#include <algorithm>

namespace kavrel::ui {

TimeSpan wholeSpan(const ChartData& data) {
    TimeSpan span;
    bool any = false;
    for (const ChartSeries& series : data.series) {
        if (series.times.empty()) continue;
        span.from = any ? std::min(span.from, series.times.front()) : series.times.front();
        span.to = any ? std::max(span.to, series.times.back()) : series.times.back();
        any = true;
    }
    if (any && span.length() < data.minimumSpan) span.from = span.to - data.minimumSpan;
    return span;
}

WallMs gapThreshold(const ChartData& data, const ChartSeries& series) {
    if (data.gapAfter > 0) return data.gapAfter;
    if (series.times.size() < 2) return 0;
    std::vector<WallMs> steps;
    steps.reserve(series.times.size() - 1);
    for (std::size_t i = 1; i < series.times.size(); ++i)
        if (series.times[i] > series.times[i - 1]) steps.push_back(series.times[i] - series.times[i - 1]);
    if (steps.empty()) return 0;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return 3 * *middle;
}

AxisGroups groupAxes(const ChartData& data) {
    AxisGroups groups;
    for (const ChartSeries& series : data.series) {
        if (!series.shown) {
            groups.axisOf.push_back(-1);
            continue;
        }
        const std::string& group = axisGroup(series);
        auto found = std::find(groups.groups.begin(), groups.groups.end(), group);
        if (found == groups.groups.end()) found = groups.groups.insert(groups.groups.end(), group);
        groups.axisOf.push_back(static_cast<int>(found - groups.groups.begin()));
    }
    return groups;
}

std::string axisTitle(const ChartData& data, const std::string& group) {
    const auto found = data.axisTitles.find(group);
    if (found != data.axisTitles.end()) return found->second;
    return group.empty() ? std::string() : "[" + group + "]";
}

} // namespace kavrel::ui
