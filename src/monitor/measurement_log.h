// The measurement log: a semicolon-separated Windows-1250 text file with CR LF line
// ends that a spreadsheet opens directly. One header each time polling starts, one row
// per record period; the file is opened for appending for each line and closed again.
#pragma once

#include <filesystem>
#include <string>

#include "common/clock.h"
#include "monitor/measurement.h"
#include "monitor/monitor_settings.h"

namespace kavrel::monitor {

// The header line: "Lp;Czas;", each line's name and unit, the five module columns and
// one column per extended line (31 columns).
std::string formatLogHeader(const MonitorSettings& settings);

// One row: number, time, the eight readings without units and with decimal commas, the
// alarm, GSM and counter values, and XL1..XL16 as "0", "1" or "?" when extMode is 1
// (31 columns, else 15).
std::string formatLogRow(int rowNumber, const LocalDateTime& time, const MeasurementSnapshot& snapshot);

// Append the header or a row; false when the file cannot be opened or written.
bool appendLogHeader(const std::filesystem::path& file, const MonitorSettings& settings);
bool appendLogRow(const std::filesystem::path& file, int rowNumber, const LocalDateTime& time,
                  const MeasurementSnapshot& snapshot);

// Cuts a reading at its unit ("%", "V" or "°C") when the unit starts at the second to
// the eighth character: "12.34V" becomes "12.34", "123456789V" stays as it is.
void stripUnit(std::string& value);

// The file a settings' results-file name (Windows-1250) refers to.
std::filesystem::path logFilePath(const MonitorSettings& settings);

} // namespace kavrel::monitor
