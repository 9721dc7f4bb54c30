// An answered poll in the words a database row and an MQTT message use: each line's name
// from the module's settings file, its reading as text and as a number, its state; the
// extended lines as the monitor's window shows them. Texts are UTF-8.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "fleet/poll_record.h"
#include "monitor/monitor_settings.h"

namespace kavrel::fleet {

struct LineValue {
    std::string id;                  // "L1".."L8", "XL1".."XL16": stable whatever the line is named
    std::string name;
    std::string text;                // the reading as the module sent it, "°C" for "'C"
    std::optional<double> number;    // its leading number; none when it has none ("???", "")
    std::string unit;                // what follows that number ("V", "°C", "%"); "" when none
    std::string state;               // "LOW", "HIGH", "OK" (within its thresholds), "" unknown
};

struct PollValues {
    std::array<LineValue, monitor::kInputLines> lines;
    std::array<LineValue, monitor::kExtendedLines> extended;
    int extendedMode = 0;             // 0: the module has no extended lines
};

// For an answered poll (record.measurement set).
PollValues pollValues(const PollRecord& record, const monitor::MonitorSettings& settings);

} // namespace kavrel::fleet
