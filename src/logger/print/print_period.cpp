#include "logger/print/print_period.h"

#include <array>
#include <cstdio>

#include "common/win1250.h"

namespace kavrel::logger {
namespace {

struct PeriodText {
    const char* button;
    const char* title;
};

constexpr std::array<PeriodText, kPeriodCount> kPeriods = {{
    {"Ostatni dzień", "ostatni dzień"},
    {"Ostatni tydzień", "ost. tydzień"},
    {"Ostatni miesiąc", "ostatni miesiąc"},
    {"Ostatni kwartał", "ostatni kwartał"},
    {"Ostatni rok", "ostatni rok"},
    {"Wszystkie dane", "cała zawartość pamięci"},
}};

constexpr int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// Day, week or month: keep the line when it lies at most `limit` days back.
bool withinDays(int limit, bool wholeMonth, int y, int m, int d, int a, int b, int c) {
    if (y == a && m == b) return wholeMonth || c - d <= limit;
    if (y == a) {
        if (b - m > 1) return false;
        return c + kDaysInMonth[m - 1] - d <= limit;
    }
    if (a - y > 1) return false;
    if (!(b == 1 && m == 12)) return false;
    return c + 31 - d <= limit;
}

} // namespace

std::string periodButtonText(int period) {
    if (period < 0 || period >= kPeriodCount) return {};
    return W(kPeriods[static_cast<std::size_t>(period)].button);
}

std::string periodTitleName(int period) {
    if (period < 0 || period >= kPeriodCount) period = kAllData;
    return W(kPeriods[static_cast<std::size_t>(period)].title);
}

bool inPeriod(int period, std::string_view line, int year, int month, int day) {
    if (period < 0 || period >= kAllData) return true;
    const std::string text(line.substr(0, 64));
    int number = 0, y = 0, m = 0, d = 0;
    if (std::sscanf(text.c_str(), "%d;%d-%d-%d", &number, &y, &m, &d) != 4 || m < 1 || m > 12) return false;
    const int a = year, b = month, c = day;
    switch (period) {
    case 0: return withinDays(1, false, y, m, d, a, b, c);
    case 1: return withinDays(7, false, y, m, d, a, b, c);
    case 2: return withinDays(31, true, y, m, d, a, b, c);
    case 3:
        if (y == a) return m == b || b - m <= 3;
        if (a - y > 1) return false;
        return b + 12 - m <= 3;
    default: // 4, the last year
        if (y == a) return true;
        if (a - y > 1) return false;
        return b + 12 - m <= 12;
    }
}

} // namespace kavrel::logger
