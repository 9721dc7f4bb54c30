// Numbers, dates and times as a Polish reader writes them: a decimal comma, a space between
// thousands of large numbers, dates as day.month.year, months by their Polish short names.
#pragma once

#include <string>

#include "common/chart/chart_data.h"

namespace kavrel::ui {

struct WallDateTime {
    int year = 1970;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

WallMs wallMs(const WallDateTime& t);
WallDateTime wallDateTime(WallMs ms);

// `value` with exactly `decimals` digits after the comma ("-3,50", "12 000"); "-0" becomes "0".
std::string polishNumber(double value, int decimals);
// `value` with at most `maxDecimals` digits after the comma, trailing zeros dropped ("12,4").
std::string polishReading(double value, int maxDecimals = 3);

std::string polishDate(WallMs ms);          // "07.03.2025"
std::string polishDateTime(WallMs ms);      // "07.03.2025 00:15:05"
std::string polishMonthYear(WallMs ms);     // "mar 2025"

} // namespace kavrel::ui
