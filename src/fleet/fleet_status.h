// The operator's view of a fleet database: one line per module with its state, its last
// good poll and its counts, read while the poller may be writing.
#pragma once

#include <string>
#include <vector>

namespace kavrel::fleet {

struct ModuleStatus {
    std::string name;
    std::string endpoint;
    std::string state;       // "OK", "brak odpowiedzi", "odmowa", "pominięty"; a failed connect's reason in
                             // brackets: "brak odpowiedzi (nieznana nazwa hosta)"
    std::string reason;      // that reason alone, "" when none
    std::string lastGood;    // local time, or "-" when never answered
    std::string lastPoll;
    long long attempts = 0;
    long long failures = 0;
    long long skips = 0;
};

struct FleetStatus {
    std::vector<ModuleStatus> modules;
    long long mqttDropped = 0;   // MQTT messages dropped from a full spool, over every run
    std::string error;
};

FleetStatus readFleetStatus(const std::string& databasePath);

// The table as `kavrel fleet status` prints it (UTF-8).
std::string formatFleetStatus(const std::vector<ModuleStatus>& modules);
// The lines under the table: what the poller itself lost ("" when nothing), UTF-8.
std::string formatPollerFigures(const FleetStatus& status);

} // namespace kavrel::fleet
