#include "fleet/poll_values.h"

#include <charconv>

#include "common/win1250.h"
#include "monitor/display.h"

namespace kavrel::fleet {
namespace {

struct LeadingNumber {
    double value = 0;
    std::string_view rest;   // the text after the number
};

std::optional<LeadingNumber> leadingNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    LeadingNumber number;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number.value);
    if (error != std::errc{} || end == text.data()) return std::nullopt;
    number.rest = text.substr(static_cast<std::size_t>(end - text.data()));
    return number;
}

// The reading's number and unit; the module writes the degree sign as an apostrophe.
void setNumber(LineValue& line, std::string_view reading) {
    const std::optional<LeadingNumber> number = leadingNumber(reading);
    if (!number) return;
    line.number = number->value;
    std::string_view unit = number->rest;
    while (!unit.empty() && unit.front() == ' ') unit.remove_prefix(1);
    while (!unit.empty() && unit.back() == ' ') unit.remove_suffix(1);
    line.unit = unit == "'C" ? std::string("\xC2\xB0" "C") : cp1250::toUtf8(std::string(unit));
}

std::string stateText(bool low, bool high) { return high ? "HIGH" : low ? "LOW" : "OK"; }

} // namespace

PollValues pollValues(const PollRecord& record, const monitor::MonitorSettings& settings) {
    PollValues values;
    if (!record.measurement) return values;
    const monitor::MeasurementSnapshot& m = *record.measurement;
    // The monitor's own display rules decide the extended lines' texts and marks.
    monitor::MonitorDisplay display;
    monitor::showSettings(display, settings, true);
    monitor::showMeasurement(display, m, settings);
    if (record.extended) monitor::showExtendedReadings(display, *record.extended);
    for (int i = 0; i < monitor::kInputLines; ++i) {
        LineValue& line = values.lines[i];
        line.id = "L" + std::to_string(i + 1);
        line.name = cp1250::toUtf8(display.lines[i].name);
        line.text = cp1250::toUtf8(m.lineValue[i]);
        setNumber(line, m.lineValue[i]);
        line.state = stateText(m.lineLow(i), m.lineHigh(i));
    }
    values.extendedMode = m.extMode;
    for (int i = 0; i < monitor::kExtendedLines; ++i) {
        LineValue& line = values.extended[i];
        const monitor::ExtendedLineDisplay& shown = display.extended[i];
        line.id = "XL" + std::to_string(i + 1);
        line.name = cp1250::toUtf8(shown.name);
        line.text = cp1250::toUtf8(shown.value);
        setNumber(line, shown.value);
        // The window shows "???" when both marks or neither are set: the state is not known.
        line.state = m.extMode == 1 && shown.low != shown.high ? stateText(shown.low, shown.high) : "";
    }
    return values;
}

} // namespace kavrel::fleet
