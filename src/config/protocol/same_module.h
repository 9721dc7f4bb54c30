// Before an unfinished write is finished or its backup restored: is the module now behind
// the connection the one the write was cut in? Another module may answer at the same
// address or port later (a replaced unit, an adapter moved to the next cabinet); writing
// the rest of the write, or the first module's backup, into it would replace its settings
// with no copy of them.
//
// The module is read and must hold what the journal says it acknowledged; where the write
// made a backup, also the backup's values wherever the write had not reached yet (the line
// in flight at the cut is left out: the module may have taken it). A module that differs is
// said to differ, its settings are kept as a backup of their own, and the user is asked
// whether to go on.
#pragma once

#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "config/model/settings_compare.h"
#include "config/model/write_journal.h"
#include "config/protocol/config_result.h"
#include "link/firmware_version.h"
#include "link/module_link.h"

namespace kavrel::config {

// Where the settings of a module that turned out to be another one are kept.
struct ModuleGuard {
    std::string backupFolder;
    std::string connection;   // backupWord() of the connection
};

enum class GuardedAction { Resume, Restore };

// The elements the write carried in the given lines of `image`'s sequence: those whose
// change takes one of the lines out of it.
ElementFilter elementsOfLines(const SettingsImage& image, const link::FirmwareVersion& version,
                              const std::vector<std::string>& lines);

// What the module should hold now, on the elements `include` gives.
struct ExpectedModule {
    SettingsImage settings;
    ElementFilter include;
};
// From the journal (and the backup it names, when that loads).
ExpectedModule expectedModule(const WriteJournal& journal, const link::FirmwareVersion& version);

// Reads the module (the link is closed afterwards) and compares. Ok: the same module, or
// another that the user chose to write anyway after its settings were backed up (then
// `otherBackup` names that backup: a resume sends the whole write, since the lines
// acknowledged are not in it; empty for the same module). WriteRefused when the user
// declined, BackupFailed when the backup could not be written, the read's result when the
// read failed.
ConfigResult checkSameModule(link::ModuleLink& link, const WriteJournal& journal, GuardedAction action,
                             const ModuleGuard& guard, OperationObserver& observer, const Clock& clock,
                             std::string& otherBackup);

} // namespace kavrel::config
