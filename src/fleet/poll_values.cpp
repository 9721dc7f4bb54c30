#include "fleet/poll_values.h"

#include <charconv>

#include "common/win1250.h"
#include "monitor/display.h"

namespace kavrel::fleet {
namespace {

std::optional<double> leadingNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) return std::nullopt;
    return value;
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
        line.name = cp1250::toUtf8(display.lines[i].name);
        line.text = cp1250::toUtf8(m.lineValue[i]);
        line.number = leadingNumber(m.lineValue[i]);
        line.state = stateText(m.lineLow(i), m.lineHigh(i));
    }
    values.extendedMode = m.extMode;
    for (int i = 0; i < monitor::kExtendedLines; ++i) {
        LineValue& line = values.extended[i];
        const monitor::ExtendedLineDisplay& shown = display.extended[i];
        line.name = cp1250::toUtf8(shown.name);
        line.text = cp1250::toUtf8(shown.value);
        line.number = leadingNumber(shown.value);
        // The window shows "???" when both marks or neither are set: the state is not known.
        line.state = m.extMode == 1 && shown.low != shown.high ? stateText(shown.low, shown.high) : "";
    }
    return values;
}

} // namespace kavrel::fleet
