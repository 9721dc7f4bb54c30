// The integer formatting of values, numbers and time stamps against the C library's
// formatted output it replaced: every value a record can hold must give the same bytes.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "logger/records/record_time.h"
#include "logger/values/decimal_text.h"
#include "logger/values/value_kind.h"

using namespace kavrel::logger;

namespace {

// The value field as it was formatted before: printf of the value in engineering units.
std::string printfValueField(ValueKind kind, std::uint16_t rawValue) {
    const unsigned raw = rawValue;
    char text[32];
    switch (kind) {
    case ValueKind::Humidity: std::snprintf(text, sizeof text, ",%u%%", raw); break;
    case ValueKind::Temperature:
        std::snprintf(text, sizeof text, ",%.1f", static_cast<std::int16_t>(rawValue) / 10.0);
        break;
    case ValueKind::AboveLevel: std::snprintf(text, sizeof text, ",%d", raw > 2500 ? 1 : 0); break;
    case ValueKind::BelowLevel: std::snprintf(text, sizeof text, ",%d", raw < 2500 ? 1 : 0); break;
    case ValueKind::RawNumber: std::snprintf(text, sizeof text, ",%u", raw); break;
    case ValueKind::Tenths: std::snprintf(text, sizeof text, ",%.1f", raw / 10.0); break;
    case ValueKind::Voltage: std::snprintf(text, sizeof text, ",%.3f", raw / 1000.0); break;
    }
    return text;
}

template <typename... Args>
std::string printed(const char* pattern, Args... args) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

} // namespace

TEST(DecimalText, EveryRawValueOfEveryKindAsPrintfWroteIt) {
    const ValueKind kinds[] = {ValueKind::Voltage,    ValueKind::Humidity,   ValueKind::Temperature, ValueKind::AboveLevel,
                               ValueKind::BelowLevel, ValueKind::RawNumber,  ValueKind::Tenths};
    for (const ValueKind kind : kinds) {
        int differing = 0;
        for (unsigned raw = 0; raw <= 0xFFFF; ++raw) {
            const auto value = static_cast<std::uint16_t>(raw);
            const std::string expected = printfValueField(kind, value);
            std::string line = "x";  // appended after what the line already holds
            appendValueField(line, kind, value);
            if (line != "x" + expected && differing++ < 5)
                ADD_FAILURE() << "kind " << static_cast<int>(kind) << " raw " << raw << ": " << line << " != x" << expected;
        }
        EXPECT_EQ(differing, 0) << "kind " << static_cast<int>(kind);
    }
}

TEST(DecimalText, IntegersPaddedAndFixedPointAtTheirLimits) {
    const long long values[] = {0, 1, -1, 7, -7, 9, 10, -10, 99, 100, -100, 999, 1000, 12345, -12345, 65535,
                                std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
    for (const long long v : values) {
        std::string text;
        appendInteger(text, v);
        EXPECT_EQ(text, printed("%lld", v));
        for (const int width : {0, 1, 2, 4, 12}) {
            text.clear();
            appendPadded(text, v, width, '0');
            EXPECT_EQ(text, printed("%0*lld", width, v)) << v << " width " << width;
            text.clear();
            appendPadded(text, v, width, ' ');
            EXPECT_EQ(text, printed("%*lld", width, v)) << v << " width " << width;
        }
        if (v < -1'000'000 || v > 1'000'000) continue;  // beyond where a double's digits are exact enough
        for (const int decimals : {1, 2, 3, 6}) {
            double scale = 1;
            for (int i = 0; i < decimals; ++i) scale *= 10;
            text.clear();
            appendFixedPoint(text, v, decimals);
            EXPECT_EQ(text, printed("%.*f", decimals, static_cast<double>(v) / scale)) << v << " decimals " << decimals;
        }
    }
}

TEST(DecimalText, EveryFieldOfADecodedTimeStampAsPrintfWroteIt) {
    // Each field's whole bit range (a record may hold any of them), the others fixed.
    const auto reference = [](const RecordTime& t) {
        return printed("%04d-%02d-%02d %2d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    };
    for (int v = 0; v < 64; ++v) {
        for (int field = 0; field < 6; ++field) {
            RecordTime t{2016 + (v & 31), 3, 17, 14, 5, 42};
            int* fields[] = {&t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second};
            if (field > 0) *fields[field] = v;
            EXPECT_EQ(formatRecordTime(t), reference(t)) << field << " " << v;
        }
    }
}
