#include "common/chart/polish_format.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace kavrel::ui {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Groups the digits of a whole number by thousands when it has five or more of them.
std::string groupThousands(const std::string& digits) {
    if (digits.size() < 5) return digits;
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += "\u00a0";
        out += digits[i];
    }
    return out;
}

} // namespace

WallMs wallMs(const WallDateTime& t) {
    return daysFromCivil(t.year, t.month, t.day) * kDayMs + t.hour * kHourMs + t.minute * kMinuteMs +
           t.second * kSecondMs + t.millisecond;
}

WallDateTime wallDateTime(WallMs ms) {
    const std::int64_t days = floorDiv(ms, kDayMs);
    std::int64_t rest = ms - days * kDayMs;
    WallDateTime t;
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<int>(rest / kHourMs);
    rest %= kHourMs;
    t.minute = static_cast<int>(rest / kMinuteMs);
    rest %= kMinuteMs;
    t.second = static_cast<int>(rest / kSecondMs);
    t.millisecond = static_cast<int>(rest % kSecondMs);
    return t;
}

std::string polishNumber(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    decimals = decimals < 0 ? 0 : (decimals > 9 ? 9 : decimals);
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    bool negative = !s.empty() && s[0] == '-';
    if (negative) s.erase(0, 1);
    if (s.find_first_not_of("0.") == std::string::npos) negative = false;   // no "-0,0"
    const std::size_t point = s.find('.');
    std::string whole = s.substr(0, point);
    std::string out = (negative ? "-" : "") + groupThousands(whole);
    if (point != std::string::npos) out += "," + s.substr(point + 1);
    return out;
}

std::string polishReading(double value, int maxDecimals) {
    std::string s = polishNumber(value, maxDecimals);
    const std::size_t comma = s.find(',');
    if (comma == std::string::npos) return s;
    while (s.back() == '0') s.pop_back();
    if (s.back() == ',') s.pop_back();
    if (s == "-0") s = "0";
    return s;
}

std::string polishDate(WallMs ms) {
    const WallDateTime t = wallDateTime(ms);
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", t.day, t.month, t.year);
    return text;
}

std::string polishDateTime(WallMs ms) {
    const WallDateTime t = wallDateTime(ms);
    char text[48];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute, t.second);
    return text;
}

std::string polishMonthYear(WallMs ms) {
    static const std::array<const char*, 12> kMonths = {"sty", "lut", "mar", "kwi", "maj", "cze",
                                                        "lip", "sie", "wrz", "paź", "lis", "gru"};
    const WallDateTime t = wallDateTime(ms);
    return std::string(kMonths[static_cast<std::size_t>(t.month - 1)]) + " " + std::to_string(t.year);
}

} // namespace kavrel::ui
