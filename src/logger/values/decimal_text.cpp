#include "logger/values/decimal_text.h"

namespace kavrel::logger {
namespace {

// The digits of a magnitude: to_chars of an unsigned value has no sign to handle.
std::size_t magnitudeDigits(char (&digits)[24], std::uint64_t magnitude) {
    return static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
}

std::uint64_t magnitudeOf(std::int64_t value) {
    // Through unsigned arithmetic, so that the most negative value has a magnitude too.
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
}

} // namespace

void appendPadded(std::string& text, long long value, int width, char fill) {
    char digits[24];
    const std::size_t size = magnitudeDigits(digits, magnitudeOf(value));
    const std::size_t used = size + (value < 0 ? 1 : 0);
    const std::size_t padding = width > 0 && static_cast<std::size_t>(width) > used ? static_cast<std::size_t>(width) - used : 0;
    if (fill == '0') {
        if (value < 0) text += '-';
        text.append(padding, '0');
    } else {
        text.append(padding, fill);
        if (value < 0) text += '-';
    }
    text.append(digits, size);
}

void appendFixedPoint(std::string& text, std::int64_t scaled, int decimals) {
    char digits[24];
    const std::size_t size = magnitudeDigits(digits, magnitudeOf(scaled));
    const auto places = static_cast<std::size_t>(decimals);
    if (scaled < 0) text += '-';
    // A magnitude with no more digits than decimals has a zero before the point and
    // leading zeros after it: 5 with three decimals is "0.005".
    if (size <= places) {
        text += "0.";
        text.append(places - size, '0');
        text.append(digits, size);
        return;
    }
    text.append(digits, size - places);
    text += '.';
    text.append(digits + size - places, places);
}

} // namespace kavrel::logger
