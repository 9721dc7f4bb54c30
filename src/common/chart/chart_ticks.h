// Where an axis gets its marks and what they say. Value axes step by 1, 2 or 5 times a
// power of ten; the time axis steps by whole seconds, minutes, hours, days, months or years
// chosen for the span shown, its marks on round wall-clock moments.
#pragma once

#include <string>
#include <vector>

#include "common/chart/chart_data.h"

namespace kavrel::ui {

struct ValueScale {
    double low = 0;
    double high = 1;
    double step = 1;
    int decimals = 0;                 // digits after the comma that the step needs
    std::vector<double> ticks;        // from low to high
};

// A scale over [low, high] widened to whole steps, with at most about `maxTicks` marks; a
// span of zero (one value) gets room around the value.
ValueScale valueScale(double low, double high, int maxTicks);

struct TimeTick {
    WallMs at = 0;
    std::string label;       // "14:05", "07.03", "mar 2025", "2025"
    std::string dateLabel;   // under the label where the day (or the year) changes; else empty
};

// Marks on the span [from, to] at most about `maxTicks` apart from each other.
std::vector<TimeTick> timeTicks(TimeSpan span, int maxTicks);

} // namespace kavrel::ui
