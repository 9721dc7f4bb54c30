// The rules by which the settings dialogs, the dump and the tools show and take in the
// packed fields of the settings record: hour masks, day masks, delay bytes, thresholds
// by line category, and the balance-check code. Texts are Windows-1250.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "config/model/settings_image.h"

namespace kavrel::config {

// ---- Hour masks (RPTHR, GRDHR): hour h is bit h%8 of byte h/8; a fourth byte stays 0.

// "7,12,23"; an empty mask gives "".
std::string hourMaskToText(std::span<const std::uint8_t> mask);
// Clears all four bytes, then sets every hour 0..23 named by a run of digits (24 means 0,
// larger numbers are ignored, any other character separates numbers).
void textToHourMask(std::string_view text, std::span<std::uint8_t> mask);

// ---- Day masks (WKD1..WKD3): bit 0 Monday .. bit 6 Sunday, bit 7 holidays.

inline constexpr std::array<const char*, 8> kDayNames = {"Pn", "Wt", "Śr", "Cz", "Pt", "So", "Ni", "DW"};  // UTF-8
inline bool dayInMask(std::uint8_t mask, int day) { return (mask >> day) & 1; }
inline std::uint8_t withDay(std::uint8_t mask, int day, bool on) {
    return static_cast<std::uint8_t>(on ? mask | (1u << day) : mask & ~(1u << day));
}
// "Pn,Wt,DW" (UTF-8, for the dump and the tools); "" for an empty mask.
std::string dayMaskToText(std::uint8_t mask);

// ---- Delay bytes (ADELn): bit 7 = minutes, bits 0..6 = count; 0xFF reads as 0.

// "30s", "5m"; a delay of 0 gives "0 ".
std::string delayToText(std::uint8_t delay);
// "2h" -> 120 minutes (0xF8), "200s" -> 0x7F, "127m" -> 0xFE: the first of m M ' (minutes)
// or h H g G (hours) decides the unit; the leading number is the count, capped at 127.
std::uint8_t textToDelay(std::string_view text);

// ---- Thresholds (ULOn/UHIn by line category, XLO/XHI by XTYP).

enum class LineCategory { Voltage, Temperature, Humidity, Scaled };

// An input line's sensor: ICFGn bit 7 says the line has one, SCFGn bits 0..2 say which.
inline constexpr std::uint8_t kLineSensorBit = 0x80;
inline constexpr std::uint8_t kSensorTypeMask = 0x07;

// The type codes of SCFGn bits 0..2.
enum SensorTypeCode : std::uint8_t {
    kAnalogTemperatureSensor = 0,  // "T"
    kHumiditySensor = 1,           // "RH"
    kDigitalTemperatureSensor = 2, // "D"
    kScaledValue = 3,              // "S": y=Ax+B, with or without the sensor bit
    kCombinedTemperature = 4,      // "TR": temperature of a temperature-and-humidity sensor
    kCombinedHumidity = 5,         // "RR": humidity of a temperature-and-humidity sensor
    kPt100Sensor = 6,              // "PT"
};

// From ICFGn and SCFGn.
LineCategory lineCategory(std::uint8_t icfg, std::uint8_t scfg);
inline LineCategory lineCategory(const SettingsImage& image, int line) {
    return lineCategory(image.byte(Field::Icfg, line), image.byte(Field::Scfgn, line));
}
// From XTYP1/XTYP9 bits 0..2: 0 voltage, 1 humidity, 2 temperature, 3 plain number.
LineCategory extendedCategory(std::uint8_t xtyp);

// "55 %", "-10.0 'C", "1000 mV", "17".
std::string thresholdToText(std::uint16_t raw, LineCategory category);
// "55,5" -> 2110 (humidity), "-10,0" -> 2632 (temperature), "1000.6" -> 1001 (voltage).
std::uint16_t textToThreshold(std::string_view text, LineCategory category);

// ---- Balance-check code (URL2 and its two extension characters), up to 8 characters.

std::string balanceCode(const SettingsImage& image);
void setBalanceCode(SettingsImage& image, std::string_view code);

} // namespace kavrel::config
