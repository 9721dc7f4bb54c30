#include "logger/values/value_kind.h"

#include <cstdio>

namespace kavrel::logger {

ValueKind inputLineKind(std::uint8_t configuration) {
    switch (configuration & 0x87) {
    case 0x80: case 0x82: case 0x84: case 0x86: return ValueKind::Temperature;
    case 0x81: case 0x85: return ValueKind::Humidity;
    case 0x03: return ValueKind::RawNumber;
    case 0x04: return ValueKind::AboveLevel;
    case 0x05: return ValueKind::BelowLevel;
    default: return ValueKind::Voltage;
    }
}

ValueKind extendedLineKind(int kindBits) {
    switch (kindBits & 0x07) {
    case 1: return ValueKind::Humidity;
    case 2: return ValueKind::Temperature;
    case 4: return ValueKind::AboveLevel;
    case 5: return ValueKind::BelowLevel;
    default: return ValueKind::Voltage;  // 0, 3, 6 and 7
    }
}

std::optional<ValueKind> overrideKind(std::int32_t kindOverride) {
    static constexpr ValueKind kByOverride[] = {
        ValueKind::Voltage,    ValueKind::Humidity,   ValueKind::Temperature,
        ValueKind::RawNumber,  ValueKind::AboveLevel, ValueKind::BelowLevel,
    };
    if (kindOverride < 0 || kindOverride > 5) return std::nullopt;
    return kByOverride[kindOverride];
}

std::string valueField(ValueKind kind, std::uint16_t rawValue) {
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

} // namespace kavrel::logger
