// A configuration roll-out over a fleet: every module read and its changes shown, then the
// canary modules written, then the rest in batches; a stage whose failures reach the
// threshold stops the run and leaves the modules after it untouched. The run's state file
// (rollout_state.h) lets a later run go on where this one stopped, never writing a module
// that already holds its target.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/rollout/module_rollout.h"
#include "fleet/rollout/rollout_plan.h"
#include "fleet/rollout/rollout_state.h"

namespace kavrel::fleet {

struct RolloutRequest {
    std::vector<FleetModule> modules;                                   // in the fleet file's order
    std::map<std::string, std::vector<config::ModuleValue>> values;     // per module name
    RolloutInputs inputs;
    StagePlan plan;
    bool dryRun = false;
    int parallel = 4;               // modules of a stage written at once
    std::string statePath;          // the run's file; "" for a dry run
    const RolloutState* resumed = nullptr;   // the state a resumed run starts from
};

struct RolloutReport {
    std::vector<ModuleOutcome> modules;   // in fleet order
    bool stopped = false;
    std::size_t stagesRun = 0;
    std::size_t stages = 0;
    std::string stopReason;              // UTF-8
    std::string stateProblem;            // the state file could not be written: the run stopped

    bool allSucceeded() const;
};

// Progress as lines of text (UTF-8), for stderr.
using RolloutProgress = std::function<void(const std::string&)>;

RolloutReport runRollout(const RolloutRequest& request, const RolloutProgress& progress);

} // namespace kavrel::fleet
