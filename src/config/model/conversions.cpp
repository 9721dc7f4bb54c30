#include "config/model/conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kavrel::config {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The leading decimal number of a text as atoi reads it (blanks, a sign, digits), but
// saturating instead of overflowing.
long leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) value = std::min(value * 10 + (text[i] - '0'), 1000000L);
    return negative ? -value : value;
}

// A decimal number with a point or a comma, read the same whatever the process locale.
// Text that holds no number reads as 0, as atof would.
double decimalNumber(std::string_view text) {
    std::string copy(text);
    std::replace(copy.begin(), copy.end(), ',', '.');
    std::size_t i = 0;
    while (i < copy.size() && (copy[i] == ' ' || copy[i] == '\t')) ++i;
    if (i < copy.size() && copy[i] == '+') ++i;
    double value = 0;
    const auto [end, error] = std::from_chars(copy.data() + i, copy.data() + copy.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) return 0;
    (void)end;
    return value;
}

std::uint16_t clampToWord(double value) {
    if (!(value > 0)) return 0;
    if (value >= 65535) return 65535;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::string hourMaskToText(std::span<const std::uint8_t> mask) {
    std::string text;
    for (int hour = 0; hour < 24; ++hour) {
        if (!((mask[static_cast<std::size_t>(hour / 8)] >> (hour % 8)) & 1)) continue;
        if (!text.empty()) text += ',';
        text += std::to_string(hour);
    }
    return text;
}

void textToHourMask(std::string_view text, std::span<std::uint8_t> mask) {
    std::fill(mask.begin(), mask.end(), std::uint8_t{0});
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isDigit(text[i])) {
            ++i;
            continue;
        }
        long hour = 0;
        for (; i < text.size() && isDigit(text[i]); ++i) hour = std::min(hour * 10 + (text[i] - '0'), 1000L);
        if (hour == 24) hour = 0;
        if (hour < 24) mask[static_cast<std::size_t>(hour / 8)] |= static_cast<std::uint8_t>(1u << (hour % 8));
    }
}

std::string dayMaskToText(std::uint8_t mask) {
    std::string text;
    for (int day = 0; day < 8; ++day) {
        if (!dayInMask(mask, day)) continue;
        if (!text.empty()) text += ',';
        text += kDayNames[static_cast<std::size_t>(day)];
    }
    return text;
}

std::string delayToText(std::uint8_t delay) {
    if (delay == 0 || delay == 0xFF) return "0 ";
    return std::to_string(delay & 0x7F) + ((delay & 0x80) ? 'm' : 's');
}

std::uint8_t textToDelay(std::string_view text) {
    enum class Unit { Seconds, Minutes, Hours } unit = Unit::Seconds;
    const auto letter = text.find_first_of("mM'hHgG");
    if (letter != std::string_view::npos)
        unit = std::string_view("mM'").find(text[letter]) != std::string_view::npos ? Unit::Minutes : Unit::Hours;
    long count = std::max(leadingNumber(text), 0L);
    if (unit == Unit::Hours) {
        count *= 60;
        unit = Unit::Minutes;
    }
    count = std::min(count, 127L);
    auto delay = static_cast<std::uint8_t>(count | (unit == Unit::Minutes ? 0x80 : 0));
    return delay == 0xFF ? std::uint8_t{0xFE} : delay;
}

LineCategory lineCategory(std::uint8_t icfg, std::uint8_t scfg) {
    const int type = scfg & kSensorTypeMask;
    if (icfg & kLineSensorBit)
        return (type == kHumiditySensor || type == kCombinedHumidity) ? LineCategory::Humidity : LineCategory::Temperature;
    return type == kScaledValue ? LineCategory::Scaled : LineCategory::Voltage;
}

LineCategory extendedCategory(std::uint8_t xtyp) {
    switch (xtyp & 0x07) {
    case 1: return LineCategory::Humidity;
    case 2: return LineCategory::Temperature;
    case 3: return LineCategory::Scaled;
    default: return LineCategory::Voltage;
    }
}

std::string thresholdToText(std::uint16_t raw, LineCategory category) {
    char text[32];
    switch (category) {
    case LineCategory::Humidity: {
        const int clamped = std::clamp<int>(raw, 1000, 3000);
        std::snprintf(text, sizeof text, "%.0f %%", (clamped - 1000) / 20.0);
        break;
    }
    case LineCategory::Temperature:
        std::snprintf(text, sizeof text, "%.1f 'C", (static_cast<int>(raw) - 2732) / 10.0);
        break;
    case LineCategory::Scaled: std::snprintf(text, sizeof text, "%d", static_cast<int>(raw)); break;
    case LineCategory::Voltage: std::snprintf(text, sizeof text, "%d mV", static_cast<int>(raw)); break;
    }
    return text;
}

std::uint16_t textToThreshold(std::string_view text, LineCategory category) {
    // A typed decimal such as 263.2 is not exact in binary; the small nudge keeps the
    // truncation from falling one below the value the user meant.
    constexpr double kNudge = 1e-7;
    double value = decimalNumber(text);
    switch (category) {
    case LineCategory::Humidity:
        value = std::clamp(value, 0.0, 100.0);
        return clampToWord(value * 20 + 1000 + kNudge);
    case LineCategory::Temperature: {
        const double raw = (value + 273.2) * 10;
        return clampToWord(raw + (raw >= 0 ? kNudge : 0));
    }
    case LineCategory::Scaled: return clampToWord(std::trunc(value));
    case LineCategory::Voltage: {
        double whole = std::trunc(value);
        if (value - whole > 0.5 && whole < 4092) whole += 1;
        return clampToWord(whole);
    }
    }
    return 0;
}

std::string balanceCode(const SettingsImage& image) {
    std::string code = image.text(Field::Url2);
    for (int n = 0; n < 2; ++n) {
        const std::uint8_t c = image.byte(Field::Url2Ext, n);
        if (c != 0 && c != 0xFF) code += static_cast<char>(c);
    }
    return code;
}

void setBalanceCode(SettingsImage& image, std::string_view code) {
    image.setText(Field::Url2, code.substr(0, 6));
    for (int n = 0; n < 2; ++n)
        image.setByte(Field::Url2Ext, n, code.size() > static_cast<std::size_t>(6 + n) ? static_cast<std::uint8_t>(code[6 + n]) : 0);
}

} // namespace kavrel::config
