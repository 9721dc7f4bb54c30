// How far modules have drifted from a template: per module, the template's fields whose
// value differs from what the template (with the module's own values) says, read from the
// modules themselves or from the fleet service's latest backups (FOLDER/NAME/*.kvl) without
// contacting any. Fields the module changes by itself are never listed, as the backups
// never count them.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "config/model/config_template.h"
#include "config/model/settings_compare.h"
#include "fleet/fleet_list.h"
#include "fleet/rollout/module_rollout.h"

namespace kavrel::fleet {

struct DriftModule {
    std::string name;
    std::string source;     // the endpoint, or the backup file read
    std::string error;      // UTF-8; the module could not be read
    std::vector<config::FieldChange> differences;   // before: the template's value, after: the module's
};

// Every field of the template that a template may give (all but reserved bytes and fields
// the module changes by itself): a drift check without a field list.
config::FieldSelection everyTemplateField();

// The differences of one record from its target.
std::vector<config::FieldChange> driftOf(const config::SettingsImage& record, const config::SettingsImage& templ,
                                         const config::FieldSelection& fields,
                                         const std::vector<config::ModuleValue>& values);

// Reads every module (`parallel` at a time) and compares it.
std::vector<DriftModule> liveDrift(const std::vector<FleetModule>& modules,
                                   const std::map<std::string, std::vector<config::ModuleValue>>& values,
                                   const RolloutInputs& inputs, int parallel);

// The latest readable backup of each named module in `folder`; with no names, every module
// folder there.
std::vector<DriftModule> backupDrift(const std::filesystem::path& folder, std::vector<std::string> names,
                                     const std::map<std::string, std::vector<config::ModuleValue>>& values,
                                     const config::SettingsImage& templ, const config::FieldSelection& fields);

} // namespace kavrel::fleet
