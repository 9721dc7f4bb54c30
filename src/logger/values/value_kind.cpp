#include "logger/values/value_kind.h"

#include "logger/values/decimal_text.h"

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

ValueKind extendedValueKind(int n, std::uint8_t kinds, bool energyMeter) {
    if (energyMeter && n >= 8) {
        // XL9..XL16: voltage, current, frequency in tenths; powers and energies whole;
        // the power factor in thousandths.
        static constexpr ValueKind kMeter[] = {
            ValueKind::Tenths,    ValueKind::Tenths,    ValueKind::Tenths,  ValueKind::RawNumber,
            ValueKind::RawNumber, ValueKind::Voltage,   ValueKind::RawNumber, ValueKind::RawNumber,
        };
        return kMeter[n - 8];
    }
    return extendedLineKind(n < 8 ? kinds & 0x07 : (kinds >> 4) & 0x07);
}

std::optional<ValueKind> overrideKind(std::int32_t kindOverride) {
    static constexpr ValueKind kByOverride[] = {
        ValueKind::Voltage,    ValueKind::Humidity,   ValueKind::Temperature,
        ValueKind::RawNumber,  ValueKind::AboveLevel, ValueKind::BelowLevel,
    };
    if (kindOverride < 0 || kindOverride > 5) return std::nullopt;
    return kByOverride[kindOverride];
}

void appendValueField(std::string& line, ValueKind kind, std::uint16_t rawValue) {
    const unsigned raw = rawValue;
    line += ',';
    switch (kind) {
    case ValueKind::Humidity:
        appendInteger(line, raw);
        line += '%';
        break;
    case ValueKind::Temperature: appendFixedPoint(line, static_cast<std::int16_t>(rawValue), 1); break;
    case ValueKind::AboveLevel: line += raw > 2500 ? '1' : '0'; break;
    case ValueKind::BelowLevel: line += raw < 2500 ? '1' : '0'; break;
    case ValueKind::RawNumber: appendInteger(line, raw); break;
    case ValueKind::Tenths: appendFixedPoint(line, raw, 1); break;
    case ValueKind::Voltage: appendFixedPoint(line, raw, 3); break;
    }
}

double valueNumber(ValueKind kind, std::uint16_t raw) {
    switch (kind) {
    case ValueKind::Humidity:
    case ValueKind::RawNumber: return raw;
    case ValueKind::Temperature: return static_cast<std::int16_t>(raw) / 10.0;
    case ValueKind::AboveLevel: return raw > 2500 ? 1 : 0;
    case ValueKind::BelowLevel: return raw < 2500 ? 1 : 0;
    case ValueKind::Tenths: return raw / 10.0;
    case ValueKind::Voltage: return raw / 1000.0;
    }
    return raw;
}

std::string valueField(ValueKind kind, std::uint16_t raw) {
    std::string field;
    appendValueField(field, kind, raw);
    return field;
}

} // namespace kavrel::logger
