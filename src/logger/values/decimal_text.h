// Decimal text appended to a line being composed, with integer arithmetic only. The
// exported files hold many thousands of numbers: the C library's formatted output (with
// its format parsing, locale look-ups and binary-to-decimal conversion of doubles) was
// most of an export's time. The results are the texts "%d", "%0*d", "%*d" and, for a
// value scaled by 10^decimals, "%.*f" of value / 10^decimals would give.
#pragma once

#include <charconv>
#include <cstdint>
#include <string>

namespace kavrel::logger {

// "%d" (any width of integer).
template <typename Integer>
void appendInteger(std::string& text, Integer value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    text.append(digits, end);
}

// "%0<width>d" with fill '0', "%<width>d" with fill ' ': the sign comes before zeros and
// after spaces, as printf places it.
void appendPadded(std::string& text, long long value, int width, char fill);

// "%.<decimals>f" of scaled / 10^decimals, for decimals 1..9: a fixed-point value as the
// module stores it (a temperature of -205 in tenths is "-20.5", a voltage of 3300 mV with
// three decimals "3.300"). Exact, where a double would only be nearly so.
void appendFixedPoint(std::string& text, std::int64_t scaled, int decimals);

} // namespace kavrel::logger
