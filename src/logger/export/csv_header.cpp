#include "logger/export/csv_header.h"

#include <array>
#include <initializer_list>

#include "common/win1250.h"

namespace kavrel::logger {
namespace {

// The heading of an unnamed logged input line, by its kind.
std::string inputHeading(std::size_t line, std::uint8_t configuration) {
    const std::string number = std::to_string(line + 1);
    switch (inputLineKind(configuration)) {
    case ValueKind::Temperature: return "T" + number + W(" [°C]");
    case ValueKind::Humidity: return "RH" + number + " [%]";
    case ValueKind::RawNumber: return "U" + number + " []";
    default: return "L" + number + " [V]";
    }
}

// XL9..XL16 of an energy meter.
constexpr std::array<const char*, 8> kEnergyMeterHeadings = {
    "U [V]", "I [A]", "f [Hz]", "P [W]", "S [VA]", "cos fi", "kWh", "Wh",
};

} // namespace

CsvHeadings csvHeadings(const LineDescriptions& descriptions, const HeaderColumns& columns) {
    CsvHeadings headings;
    for (std::size_t i = 0; i < kInputLines; ++i) {
        const auto& d = descriptions.input(i);
        if (d.removed()) continue;
        if (!d.hasName() && !isLoggedLine(columns.lines[i])) continue;
        headings.inputs.push_back(d.hasName() ? d.name : inputHeading(i, columns.lines[i]));
        headings.inputIds.push_back("L" + std::to_string(i + 1));
    }

    auto& states = headings.states;
    if (columns.full) states.insert(states.end(), {"LOW", "HIGH", W("Wyjścia")});
    states.push_back("GSM");
    if (columns.full) states.push_back("Roaming");
    states.push_back("SMS");
    if (columns.full) states.push_back("E-mail");
    states.push_back("Alarmowy");
    if (columns.full) states.insert(states.end(), {"Czuwanie", "Flagi", "Stan_XL"});
    states.push_back(W("Poprawność"));

    if (columns.extendedLines || columns.energyMeter) {
        for (std::size_t n = 0; n < kExtendedLines; ++n) {
            const auto& d = descriptions.extended(n);
            if (d.removed()) continue;
            if (columns.energyMeter && n >= 8) headings.extended.push_back(kEnergyMeterHeadings[n - 8]);
            else if (d.hasName()) headings.extended.push_back(d.name);
            else headings.extended.push_back("XL" + std::to_string(n + 1));
            headings.extendedIds.push_back("XL" + std::to_string(n + 1));
        }
    }
    return headings;
}

std::string csvHeader(const LineDescriptions& descriptions, const HeaderColumns& columns) {
    const CsvHeadings headings = csvHeadings(descriptions, columns);
    std::string header = "Lp,Czas RTC";
    for (const auto* part : {&headings.inputs, &headings.states, &headings.extended})
        for (const std::string& heading : *part) header += "," + heading;
    return header + "\n";
}

} // namespace kavrel::logger
