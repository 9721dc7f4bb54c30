#include "logger/export/csv_header.h"

#include <array>

#include "common/win1250.h"

namespace kavrel::logger {
namespace {

// The heading of an unnamed logged input line, by its kind.
std::string inputHeading(std::size_t line, std::uint8_t configuration) {
    const std::string number = std::to_string(line + 1);
    switch (inputLineKind(configuration)) {
    case ValueKind::Temperature: return ",T" + number + W(" [°C]");
    case ValueKind::Humidity: return ",RH" + number + " [%]";
    case ValueKind::RawNumber: return ",U" + number + " []";
    default: return ",L" + number + " [V]";
    }
}

// XL9..XL16 of an energy meter.
constexpr std::array<const char*, 8> kEnergyMeterHeadings = {
    ",U [V]", ",I [A]", ",f [Hz]", ",P [W]", ",S [VA]", ",cos fi", ",kWh", ",Wh",
};

} // namespace

std::string csvHeader(const LineDescriptions& descriptions, const HeaderColumns& columns) {
    std::string header = "Lp,Czas RTC";
    for (std::size_t i = 0; i < kInputLines; ++i) {
        const auto& d = descriptions.input(i);
        if (d.removed()) continue;
        if (d.hasName()) header += "," + d.name;
        else if (isLoggedLine(columns.lines[i])) header += inputHeading(i, columns.lines[i]);
    }

    if (columns.full) header += W(",LOW,HIGH,Wyjścia");
    header += ",GSM";
    if (columns.full) header += ",Roaming";
    header += ",SMS";
    if (columns.full) header += ",E-mail";
    header += ",Alarmowy";
    if (columns.full) header += ",Czuwanie,Flagi,Stan_XL";
    header += W(",Poprawność");

    if (columns.extendedLines || columns.energyMeter) {
        for (std::size_t n = 0; n < kExtendedLines; ++n) {
            const auto& d = descriptions.extended(n);
            if (d.removed()) continue;
            if (columns.energyMeter && n >= 8) header += kEnergyMeterHeadings[n - 8];
            else if (d.hasName()) header += "," + d.name;
            else header += ",XL" + std::to_string(n + 1);
        }
    }
    return header + "\n";
}

} // namespace kavrel::logger
