#include "monitor/display.h"

#include <charconv>
#include <climits>
#include <cmath>

#include "common/win1250.h"

namespace kavrel::monitor {
namespace {

constexpr BarRange kDefaultRange[] = {{0, 4092}, {0, 40}, {0, 100}};   // by LineType

// The leading decimal number of a text, as the C library's atof reads it, but
// independent of the locale's decimal separator; 0 when the text has none.
double leadingNumber(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || (text.front() >= '\t' && text.front() <= '\r')))
        text.remove_prefix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc{}) return 0;
    return value;
}

int truncateToInt(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

bool contains(const std::string& text, std::string_view what) { return text.find(what) != std::string::npos; }

} // namespace

MonitorDisplay::MonitorDisplay() : statusText(W("Brak połączenia z Kavrel")) {
    for (int i = 0; i < kInputLines; ++i) lines[i].name = "Linia L" + std::to_string(i + 1);
    for (int i = 0; i < kExtendedLines; ++i) extended[i].name = "Linia XL" + std::to_string(i + 1);
}

BarRange barRange(const MonitorSettings& settings, int line) {
    if (settings.barMin[line] != 0 || settings.barMax[line] != 0) return {settings.barMin[line], settings.barMax[line]};
    return kDefaultRange[static_cast<int>(settings.typeOf(line))];
}

int barPosition(const std::string& value, LineType type) {
    const double number = leadingNumber(value);
    const bool volts = type == LineType::Voltage && value.substr(0, 16).find('V') != std::string::npos;
    return truncateToInt(volts ? number * 1000.0 : number);
}

void showSettings(MonitorDisplay& display, const MonitorSettings& settings, bool overTcp) {
    for (int i = 0; i < kInputLines; ++i) {
        display.lines[i].name = settings.lineName[i];
        display.lines[i].barRange = barRange(settings, i);
    }
    display.portField = overTcp ? "TCP/IP" : "COM" + std::to_string(settings.comPort);
    display.fileNameField = settings.resultsFile;
    display.periodField = settings.recordPeriod;
    for (int i = 0; i < kExtendedLines; ++i)
        display.extended[i].name = settings.extName[i].empty() ? "Linia XL" + std::to_string(i + 1) : settings.extName[i];
}

void showMeasurement(MonitorDisplay& display, const MeasurementSnapshot& snapshot, const MonitorSettings& settings) {
    for (int i = 0; i < kInputLines; ++i) {
        InputLineDisplay& line = display.lines[i];
        line.barPosition = barPosition(snapshot.lineValue[i], settings.typeOf(i));
        line.value = snapshot.lineValue[i];
        line.alarmShown = snapshot.lineLow(i) || snapshot.lineHigh(i);
        if (snapshot.lineHigh(i)) line.alarmText = " HIGH";
        else if (snapshot.lineLow(i)) line.alarmText = " LOW";
    }
    for (int i = 0; i < kOutputLines; ++i) display.outputs[i] = (snapshot.outputs >> i) & 1;
    display.alarmStateShown = snapshot.alarm != 0;
    display.smsCount = snapshot.smsCount;
    display.emailCount = snapshot.emailCount;
    display.noNetworkShown = snapshot.gsmNetwork == 0;
    display.gsmNumber = snapshot.gsmSignal;
    display.gsmBar = snapshot.gsmSignal >= 0 && snapshot.gsmSignal < 32 ? snapshot.gsmSignal : 0;

    for (int i = 0; i < kExtendedLines; ++i) {
        ExtendedLineDisplay& line = display.extended[i];
        switch (snapshot.extMode) {
        case 1:
            line.low = snapshot.extLow(i);
            line.high = snapshot.extHigh(i);
            line.value = line.low == line.high ? "???" : line.low ? "LOW" : "HIGH";
            break;
        case 2:
        case 3:
            line.low = line.high = false;
            line.value = "???";
            break;
        case 0:
            line.low = line.high = false;
            line.value.clear();
            break;
        default:   // a state this program does not know: the fields stay as they were
            break;
        }
    }
}

void showExtendedReadings(MonitorDisplay& display, const ExtendedReadings& readings) {
    const std::string degreesC = std::string(1, kDegreeSign) + "C";
    for (int i = 0; i < kExtendedLines; ++i) {
        const std::string& value = readings.value[i];
        if (contains(value, degreesC) || contains(value, "%") || contains(value, "GND") || contains(value, "VCC"))
            display.extended[i].value = value;
    }
}

void clearReadings(MonitorDisplay& display) {
    for (auto& line : display.lines) {
        line.barPosition = 0;
        line.value.clear();
        line.alarmShown = false;
    }
    display.outputs.fill(false);
    display.alarmStateShown = false;
    display.noNetworkShown = false;
    display.gsmBar = 0;
    for (auto& line : display.extended) {
        line.high = line.low = false;
        line.value.clear();
    }
}

} // namespace kavrel::monitor
