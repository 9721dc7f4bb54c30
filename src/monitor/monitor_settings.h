// The monitor's own settings and the 688-byte settings file that keeps them (magic
// "KVRLCFG1", default file "KavrelM-DEFAULT.CFG" in the working directory).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "common/file_result.h"
#include "monitor/measurement.h"

namespace kavrel::monitor {

// What an input line measures; it decides the unit of the CSV header and the bar range.
enum class LineType : std::int32_t { Voltage = 0, Temperature = 1, Humidity = 2 };

inline constexpr const char* kDefaultSettingsFile = "KavrelM-DEFAULT.CFG";
inline constexpr std::size_t kSettingsFileSize = 688;

// Longest texts the file's NUL-terminated fields hold.
inline constexpr std::size_t kResultsFileMax = 63;
inline constexpr std::size_t kLineNameMax = 31;   // the dialog allows 16
inline constexpr std::size_t kExtNameMax = 15;

struct MonitorSettings {
    int comPort = 1;
    std::string resultsFile = "test1.csv";   // Windows-1250, at most 63 bytes
    std::int32_t recordPeriod = 5;           // minutes between CSV rows
    std::array<std::string, kInputLines> lineName = {"Linia L1", "Linia L2", "Linia L3", "Linia L4",
                                                     "Linia L5", "Linia L6", "Linia L7", "Linia L8"};
    std::array<std::int32_t, kInputLines> lineType{};   // LineType values; others are read as Voltage
    std::array<std::string, kExtendedLines> extName{};
    std::array<std::int32_t, kInputLines> barMin{};     // both 0: the line type's default range
    std::array<std::int32_t, kInputLines> barMax{};

    LineType typeOf(int line) const;
};

// Loads and saves report a FileResult; WrongFormat is the monitor's own format check.
// Paths are UTF-8 texts, as the core holds file names.

// Takes the bytes of a settings file into settings: Ok, or WrongFormat (settings
// untouched) when they do not begin with the magic.
FileResult decodeMonitorSettings(std::span<const std::uint8_t> file, MonitorSettings& settings);

// Reads a settings file into settings. A file shorter than 688 bytes fills only the
// fields it holds whole and leaves the others as they were; a text that fills its field
// without a terminator is cut to the field's longest text.
FileResult loadMonitorSettings(const std::string& path, MonitorSettings& settings);

// Writes the 688 bytes (texts cut to their fields): OpenFailed when the file cannot be
// created, WriteFailed when its bytes could not all be written.
FileResult saveMonitorSettings(const std::string& path, const MonitorSettings& settings);

} // namespace kavrel::monitor
