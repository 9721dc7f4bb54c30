// Texts the self-describing and the machine-read exports share, in UTF-8.
#pragma once

#include <string>
#include <utility>

#include "logger/records/record_bytes.h"

namespace kavrel::logger {

// A history heading (Windows-1250) as its name and unit: "T1 [°C]" is "T1" and "°C", a
// heading without brackets has no unit.
std::pair<std::string, std::string> headingNameAndUnit(const std::string& heading);

// The module's text of an event record, up to its NUL.
std::string eventText(const RecordBytes& record);

} // namespace kavrel::logger
