#include "common/chart/chart_ticks.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "common/chart/polish_format.h"

namespace kavrel::ui {
namespace {

enum class StepUnit { Millisecond, Month, Year };

struct TimeStep {
    WallMs length;      // for Millisecond steps, the step; else the typical length (to choose)
    StepUnit unit;
    int count;          // months or years per step
};

constexpr std::array<TimeStep, 28> kTimeSteps = {{
    {kSecondMs, StepUnit::Millisecond, 0},      {2 * kSecondMs, StepUnit::Millisecond, 0},
    {5 * kSecondMs, StepUnit::Millisecond, 0},  {10 * kSecondMs, StepUnit::Millisecond, 0},
    {15 * kSecondMs, StepUnit::Millisecond, 0}, {30 * kSecondMs, StepUnit::Millisecond, 0},
    {kMinuteMs, StepUnit::Millisecond, 0},      {2 * kMinuteMs, StepUnit::Millisecond, 0},
    {5 * kMinuteMs, StepUnit::Millisecond, 0},  {10 * kMinuteMs, StepUnit::Millisecond, 0},
    {15 * kMinuteMs, StepUnit::Millisecond, 0}, {30 * kMinuteMs, StepUnit::Millisecond, 0},
    {kHourMs, StepUnit::Millisecond, 0},        {2 * kHourMs, StepUnit::Millisecond, 0},
    {3 * kHourMs, StepUnit::Millisecond, 0},    {6 * kHourMs, StepUnit::Millisecond, 0},
    {12 * kHourMs, StepUnit::Millisecond, 0},   {kDayMs, StepUnit::Millisecond, 0},
    {2 * kDayMs, StepUnit::Millisecond, 0},     {7 * kDayMs, StepUnit::Millisecond, 0},
    {14 * kDayMs, StepUnit::Millisecond, 0},    {31 * kDayMs, StepUnit::Month, 1},
    {92 * kDayMs, StepUnit::Month, 3},          {183 * kDayMs, StepUnit::Month, 6},
    {366 * kDayMs, StepUnit::Year, 1},          {2 * 366 * kDayMs, StepUnit::Year, 2},
    {5 * 366 * kDayMs, StepUnit::Year, 5},      {10 * 366 * kDayMs, StepUnit::Year, 10},
}};

WallMs ceilTo(WallMs value, WallMs step) {
    WallMs q = value / step;
    if (q * step < value) ++q;
    if (value < 0 && q * step - step >= value) --q;
    return q * step;
}

// Week marks fall on Mondays: 1970-01-05 was one.
constexpr WallMs kFirstMonday = 4 * kDayMs;

std::string timeLabel(WallMs at, const TimeStep& step) {
    const WallDateTime t = wallDateTime(at);
    char text[32];
    if (step.unit == StepUnit::Year) return std::to_string(t.year);
    if (step.unit == StepUnit::Month) return polishMonthYear(at);
    if (step.length >= kDayMs) std::snprintf(text, sizeof text, "%02d.%02d", t.day, t.month);
    else if (step.length >= kMinuteMs) std::snprintf(text, sizeof text, "%02d:%02d", t.hour, t.minute);
    else std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return text;
}

} // namespace

ValueScale valueScale(double low, double high, int maxTicks) {
    ValueScale scale;
    // Values so far apart that their distance is no number (±1e308) get a plain scale.
    if (!std::isfinite(low) || !std::isfinite(high) || low > high || !std::isfinite(high - low)) low = 0, high = 1;
    if (maxTicks < 2) maxTicks = 2;
    if (high - low < 1e-9 * std::max(1.0, std::fabs(high))) {
        const double room = std::max(std::fabs(low) * 0.05, 0.5);
        low -= room;
        high += room;
    }
    const double rough = (high - low) / maxTicks;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = 10 * power;
    for (double factor : {1.0, 2.0, 5.0})
        if (factor * power >= rough) {
            step = factor * power;
            break;
        }
    scale.step = step;
    scale.low = std::floor(low / step) * step;
    scale.high = std::ceil(high / step) * step;
    if (scale.high <= scale.low) scale.high = scale.low + step;
    scale.decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    const long count = std::min(std::lround((scale.high - scale.low) / step), 10L * maxTicks);
    for (long i = 0; i <= count; ++i) scale.ticks.push_back(scale.low + static_cast<double>(i) * step);
    return scale;
}

std::vector<TimeTick> timeTicks(TimeSpan span, int maxTicks) {
    std::vector<TimeTick> ticks;
    if (span.to <= span.from) return ticks;
    if (maxTicks < 2) maxTicks = 2;
    const TimeStep* step = &kTimeSteps.back();
    for (const TimeStep& candidate : kTimeSteps)
        if (span.length() / candidate.length < maxTicks) {
            step = &candidate;
            break;
        }
    std::vector<WallMs> moments;
    if (step->unit == StepUnit::Millisecond) {
        const WallMs origin = step->length == 7 * kDayMs || step->length == 14 * kDayMs ? kFirstMonday : 0;
        for (WallMs at = origin + ceilTo(span.from - origin, step->length); at <= span.to; at += step->length)
            moments.push_back(at);
    } else {
        const WallDateTime first = wallDateTime(span.from);
        const int perStep = step->unit == StepUnit::Year ? 12 * step->count : step->count;
        int month = first.year * 12 + (first.month - 1);
        month = (month + perStep - 1) / perStep * perStep;
        for (;; month += perStep) {
            const WallMs at = wallMs({month / 12, month % 12 + 1, 1});
            if (at < span.from) continue;
            if (at > span.to) break;
            moments.push_back(at);
        }
    }
    int lastDay = -1, lastYear = -1;
    for (WallMs at : moments) {
        const WallDateTime t = wallDateTime(at);
        TimeTick tick{at, timeLabel(at, *step), {}};
        if (step->length < kDayMs) {
            const int day = t.year * 400 + t.month * 32 + t.day;
            if (day != lastDay) tick.dateLabel = polishDate(at);
            lastDay = day;
        } else if (step->unit == StepUnit::Millisecond) {
            if (t.year != lastYear) tick.dateLabel = std::to_string(t.year);
            lastYear = t.year;
        }
        ticks.push_back(std::move(tick));
    }
    return ticks;
}

} // namespace kavrel::ui
