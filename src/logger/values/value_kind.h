// What a raw 16-bit line value means, and its text in engineering units.
// Input lines take their kind from the module's line configuration byte, extended lines
// from the kinds byte of their record; the user's line descriptions may override both.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace kavrel::logger {

// The line configuration bytes of L1..L8 as the module's status reports them.
using LineConfiguration = std::array<std::uint8_t, 8>;

enum class ValueKind {
    Voltage,      // millivolts, written as volts with three decimals
    Humidity,     // percent
    Temperature,  // tenths of a degree, signed
    AboveLevel,   // 1 when the raw value is above 2500
    BelowLevel,   // 1 when the raw value is below 2500
    RawNumber,    // the raw value itself
    Tenths,       // unsigned tenths (energy meter: volts, amperes, hertz)
};

// Bit 6 of a line configuration byte: the module logs the line.
inline bool isLoggedLine(std::uint8_t configuration) { return (configuration & 0x40) != 0; }

// The kind of an input line from (configuration & 0x87).
ValueKind inputLineKind(std::uint8_t configuration);

// The kind of an extended line from its three bits of the "X" record's kinds byte.
ValueKind extendedLineKind(int kindBits);

// The kind of extended line n (0-based) from an "X" record's kinds byte; XL9..XL16 of an
// energy meter (flagged in the "P" record before it) have the meter's fixed kinds.
ValueKind extendedValueKind(int n, std::uint8_t kinds, bool energyMeter);

// The kind a line description's override chooses (0..5), or nothing for other values.
std::optional<ValueKind> overrideKind(std::int32_t kindOverride);

// The value as a number in the unit its field is written in (volts, percent, degrees, 0/1).
double valueNumber(ValueKind kind, std::uint16_t raw);

// ",<value>" as a CSV field in the program's own form (comma separator, decimal point):
// ",12.345", ",-20.0", ",45%", ",1", ",57".
std::string valueField(ValueKind kind, std::uint16_t raw);
// The same field appended to a line being composed.
void appendValueField(std::string& line, ValueKind kind, std::uint16_t raw);

} // namespace kavrel::logger
