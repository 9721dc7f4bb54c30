// The operator's view of a fleet database: one line per module with its state, its last
// good poll and its counts, read while the poller may be writing.
#pragma once

#include <array>
#include <optional>
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
    std::optional<long long> lastGoodMs, lastPollMs;
    std::string outcome;     // "ok", "no answer", ... as stored
    std::string owner;       // a fleet shared by several services: the one polling it now ("" otherwise)
    // The fleet service's jobs (none for a database only `fleet poll` wrote): by JobKind.
    struct Job {
        bool known = false;
        std::optional<long long> lastMs, lastOkMs, nextDueMs;
        std::string lastOutcome;         // "ok", "failed", "cut"
        std::string lastError;
        std::optional<long long> records, holes, changes;   // of the last collection / backup
        std::string file;
        long long retries = 0;
    };
    std::array<Job, 2> jobs;
    // The fields the last backup that found changes listed: "KEY: before -> after".
    std::vector<std::string> lastChanges;
};

struct FleetStatus {
    std::vector<ModuleStatus> modules;
    long long mqttDropped = 0;   // MQTT messages dropped from a full spool, over every run
    std::string error;
};

FleetStatus readFleetStatus(const std::string& databasePath);

// A `modules` row as the operator sees it (the same for every database).
ModuleStatus moduleStatusOf(const std::string& name, const std::string& endpoint, const std::string& outcome,
                            const std::string& reason, std::optional<long long> lastGoodMs,
                            std::optional<long long> lastPollMs, long long attempts, long long failures, long long skips);

// The table as `kavrel fleet status` prints it (UTF-8); the service's jobs, when there are
// any, in a second table below it.
std::string formatFleetStatus(const std::vector<ModuleStatus>& modules);
// The lines under the table: what the poller itself lost ("" when nothing), UTF-8.
std::string formatPollerFigures(const FleetStatus& status);
// The same as one JSON object: {"modules":[...]} with times as unix ms and local text; a
// module of a shared fleet names its "owner" as well.
std::string fleetStatusJson(const std::vector<ModuleStatus>& modules);

} // namespace kavrel::fleet
