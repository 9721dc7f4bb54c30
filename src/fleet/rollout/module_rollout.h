// One module's part of a configuration roll-out, run on a worker thread from copies: its
// record read just before, its target (its own record with the template's fields and its own
// values), and the write of that target with the backup, the journal and the history record
// any write keeps, so that a cut write is finished by `kavrel --tcp ADDRESS:PORT config
// resume` like any other.
#pragma once

#include <string>
#include <vector>

#include "config/model/config_template.h"
#include "config/model/settings_compare.h"
#include "fleet/fleet_list.h"

namespace kavrel::fleet {

// What every module's work shares; copied into each worker.
struct RolloutInputs {
    config::SettingsImage templ;
    config::FieldSelection fields;
    std::vector<std::string> templateVersions;   // firmware noted for the template file (Windows-1250)
    std::string backupFolder;
    std::string run;                             // "" for a dry run
    bool yes = false;                            // write modules on another firmware too
    int timeoutMs = 0;                           // connect and reply limit; 0: the configurator's
};

// Outcome words, as the table, the state file and --json give them.
namespace outcome {
inline constexpr const char* kWritten = "zapisany";
inline constexpr const char* kUnchanged = "bez zmian";
inline constexpr const char* kWouldWrite = "do zapisu";
inline constexpr const char* kNotReached = "nieosiągnięty";
inline constexpr const char* kOtherFirmware = "inne oprogramowanie";
inline constexpr const char* kReadFailed = "błąd odczytu";
} // namespace outcome

struct ModuleOutcome {
    std::string name;
    std::string endpoint;       // "10.0.0.7:23"
    std::string connection;     // the journal's identity ("10.0.0.7:23")
    std::string outcome = outcome::kNotReached;
    std::string detail;         // UTF-8: why it failed, the keys of another firmware
    std::vector<config::FieldChange> changes;
    bool resumable = false;     // a journal is left: `config resume` finishes it
    std::string versionText;    // UTF-8

    // Written and verified, or holding the target already.
    bool succeeded() const { return outcome == outcome::kWritten || outcome == outcome::kUnchanged; }
};

// Reads the module's record alone (a drift check); on failure the outcome says why in its
// detail.
ModuleOutcome readModuleRecord(const FleetModule& module, const RolloutInputs& inputs, config::SettingsImage& record);

// Reads the module and says what a write would change; nothing is sent but the read.
ModuleOutcome planModule(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                         const RolloutInputs& inputs);

// Reads the module again and writes its target when it differs. An unfinished write of the
// same target to this connection (a cut earlier in the run) is finished from its journal
// instead of being sent again.
ModuleOutcome applyModule(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                          const RolloutInputs& inputs);

} // namespace kavrel::fleet
