// "Wyślij do modułu" with a look first: the module's current settings are read, the
// changes the write would make are shown for confirmation, what the module held is kept
// as a backup file, and only then does the usual write with its verification and
// service actions run, unchanged.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "config/model/settings_compare.h"
#include "config/protocol/write_settings.h"
#include "link/firmware_version.h"

namespace kavrel::config {

// A different value of the element: another first character for texts, another lowest bit
// for numbers and masks (to learn which lines of a write carry it).
void alterElement(SettingsImage& image, const FieldInfo& info, int number);

// The elements of `working` that the write sequence for this version sends: those whose
// change would change a line of the sequence.
ElementFilter sentElements(const SettingsImage& working, const link::FirmwareVersion& version);

// What a write of `working` would change in a module that holds `module`.
std::vector<FieldChange> changesForWrite(const SettingsImage& module, const SettingsImage& working,
                                         const link::FirmwareVersion& version);

struct ModuleReview {
    const SettingsImage& module;             // as read just now, from zeros
    const std::string& versionText;          // Windows-1250
    const std::vector<FieldChange>& changes; // possibly none
};

struct WriteReview {
    // Asked with the changes; true sends. Runs on the operation's thread: a window
    // shows its dialog while the operation waits. Empty: send without asking.
    std::function<bool(const ModuleReview&)> confirm;
    // Where the module's previous settings are kept before the write; empty: no backup.
    std::string backupFolder;
    std::string connection;   // connectionTag() of the link, part of the backup's name
};

struct ReviewedWriteOutcome {
    SettingsImage module;               // the module's settings before the write
    std::vector<FieldChange> changes;
    std::string backupPath;             // UTF-8; "" when none was written
};

// The failure texts of a backup (Windows-1250), for the windows' tests and the tool.
std::string backupFailedMessage(const std::string& path);
std::string backupFailedStatus();
std::string writeCancelledStatus();

// Reads the module (the read's own messages on failure), asks, backs up, and runs
// writeSettings. Returns the read's failure, WriteCancelled (only queries reached the
// module), BackupFailed (nothing was sent), or what writeSettings returned.
ConfigResult writeSettingsReviewed(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                                   const ServiceChoice& choice, OperationObserver& observer,
                                   const WriteContext& context, const WriteReview& review,
                                   ReviewedWriteOutcome& outcome);

} // namespace kavrel::config
