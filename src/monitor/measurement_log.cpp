#include "monitor/measurement_log.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "common/file_names.h"
#include "common/regular_file.h"
#include "common/win1250.h"

namespace kavrel::monitor {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr std::size_t kUnitSearch = 8;   // a unit is looked for in the first 8 characters

const char* unitColumn(LineType type) {
    switch (type) {
    case LineType::Temperature: return "[\xB0" "C];";
    case LineType::Humidity: return "[%];";
    case LineType::Voltage: break;
    }
    return "[V];";
}

// One extended line in a row: "0" only LOW, "1" only HIGH, "?" both or neither.
char extendedState(const MeasurementSnapshot& snapshot, int line) {
    const bool low = snapshot.extLow(line), high = snapshot.extHigh(line);
    if (low == high) return '?';
    return low ? '0' : '1';
}

bool append(const std::filesystem::path& file, const std::string& line) {
    // A FIFO would block the poll until a reader came; a folder or device is no log.
    if (!mayWriteRegularFile(file)) return false;
    std::ofstream out(file, std::ios::binary | std::ios::app);
    if (!out) return false;
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

void stripUnit(std::string& value) {
    const std::size_t end = std::min(value.size(), kUnitSearch);
    for (std::size_t at = 1; at < end; ++at) {
        const char c = value[at];
        const bool degrees = c == kDegreeSign && at + 1 < value.size() && value[at + 1] == 'C';
        if (c == '%' || c == 'V' || degrees) {
            value.resize(at);
            return;
        }
    }
}

std::string formatLogHeader(const MonitorSettings& settings) {
    std::string header = "Lp;Czas;";
    for (int i = 0; i < kInputLines; ++i) header += settings.lineName[i] + " " + unitColumn(settings.typeOf(i));
    header += W("Alarmowy;Sieć GSM;Sygnał GSM;SMS;E-mail");
    for (const auto& name : settings.extName) header += " ;" + name;
    return header + kLineEnd;
}

std::string formatLogRow(int rowNumber, const LocalDateTime& time, const MeasurementSnapshot& snapshot) {
    char head[128];
    std::snprintf(head, sizeof head, "%d ;%d-%02d-%02d %d:%02d:%02d ;", rowNumber, time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    std::string values;
    for (std::string reading : snapshot.lineValue) {
        stripUnit(reading);
        values += reading + " ;";
    }
    for (const int number : {snapshot.alarm, snapshot.gsmNetwork, snapshot.gsmSignal, snapshot.smsCount})
        values += std::to_string(number) + " ;";
    values += std::to_string(snapshot.emailCount);
    std::replace(values.begin(), values.end(), '.', ',');

    std::string row = head + values + " ";
    if (snapshot.extMode == 1)
        for (int i = 0; i < kExtendedLines; ++i) row += std::string(" ;") + extendedState(snapshot, i);
    return row + kLineEnd;
}

bool appendLogHeader(const std::filesystem::path& file, const MonitorSettings& settings) {
    return append(file, formatLogHeader(settings));
}

bool appendLogRow(const std::filesystem::path& file, int rowNumber, const LocalDateTime& time,
                  const MeasurementSnapshot& snapshot) {
    return append(file, formatLogRow(rowNumber, time, snapshot));
}

std::filesystem::path logFilePath(const MonitorSettings& settings) {
    return pathFromUtf8(cp1250::toUtf8(settings.resultsFile));
}

} // namespace kavrel::monitor
