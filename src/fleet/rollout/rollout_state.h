// The state of a configuration roll-out run, kept so that `fleet config apply --resume RUN`
// goes on after a stop or a crash: "wdrozenia/RUN.jsonl" in the backup folder, one JSON
// object a line, each flushed to the disk as it is added. The first line holds what the run
// was started with; then a module's "start" line goes out before anything is sent to it and
// its "end" line, with the outcome, once it is done. A module with a start and no end was
// cut mid-way: a resume reads it again (and finishes its journal) rather than trusting either.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "fleet/rollout/rollout_plan.h"

namespace kavrel::fleet {

struct RolloutSettings {
    std::string run;
    std::string created;         // "YYYY-MM-DD HH:MM:SS"
    std::string templatePath;    // UTF-8 paths as given
    std::string templateHash;    // the template's settingsHash: a changed template is refused on resume
    std::string fields;          // the template's keys, comma-separated
    std::string valuesPath;      // "" without per-module values
    std::string hostsPath;
    StagePlan plan;
    bool yes = false;
    int timeoutMs = 0;
};

struct ModuleState {
    bool started = false;
    bool ended = false;
    std::string outcome;
};

struct RolloutState {
    RolloutSettings settings;
    std::map<std::string, ModuleState> modules;
};

// "20261209-201501-3fa2": the run's id, from its start and a random tail.
std::string newRunId(const LocalDateTime& now);
// The runs' folder and one run's file; "" without a backup folder.
std::string rolloutFolder(const std::string& backupFolder);
std::string rolloutPath(const std::string& backupFolder, const std::string& run);

// A new run's file with its first line; false when it exists already or cannot be written.
bool createRollout(const std::string& path, const RolloutSettings& settings);
bool appendModuleStart(const std::string& path, const std::string& module);
bool appendModuleEnd(const std::string& path, const std::string& module, const std::string& outcome);

// The run as its file holds it; nullopt and `error` (Polish, UTF-8) when it cannot be read.
std::optional<RolloutState> loadRollout(const std::string& path, std::string& error);

} // namespace kavrel::fleet
