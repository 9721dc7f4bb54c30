// "Wyślij do modułu": write the record line by line, verify it by reading it back, then
// run the service actions the user ticked.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "common/observer.h"
#include "config/model/settings_image.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/config_result.h"
#include "config/protocol/service_actions.h"
#include "link/module_link.h"

namespace kavrel::config {

// Told about a write as it goes, for bookkeeping beside the exchange (the journal of
// unfinished writes). It never changes what is sent or shown.
class WriteRecorder {
public:
    virtual ~WriteRecorder() = default;
    // The module's previous settings were kept in this backup before the write.
    virtual void backedUp(const std::string& path) { (void)path; }
    // The handshake is done; `steps` are about to be sent, from `first` on. False stops the
    // write before its first line, stopReason() telling why.
    virtual bool starting(const std::string& versionText, const std::vector<WriteStep>& steps, std::size_t first) = 0;
    // The module answered step `index` with "OK". False stops the write before the next line.
    virtual bool acknowledged(std::size_t index) = 0;
    // Why the recorder stopped the write (Windows-1250).
    virtual std::string stopReason() const { return {}; }
    // The read-back matched: the settings are in the module.
    virtual void verified() = 0;
};

struct WriteContext {
    const Clock& clock;   // the PC's local time for "TIME=", and the pauses around corrective re-sends
    WriteRecorder* recorder = nullptr;   // none: nothing is recorded
};

// What a write sends once the module's version is known: the steps and the first of them
// to send (a resumed write starts in the middle).
struct WritePlan {
    std::vector<WriteStep> steps;
    std::size_t first = 0;
};
// Makes the plan for the module's version (parsed, and its text); nullopt refuses the
// write after reporting why (nothing is sent then).
using PlanWrite = std::function<std::optional<WritePlan>(const link::FirmwareVersion&, const std::string& versionText)>;

// Opens the link with the writing handshake, sends the write sequence (each line waits
// for its "OK"; SMS texts get a second try), verifies, and runs the chosen service
// actions. `readBack` is the verification's second record: the caller keeps it between
// operations, as the window does. The link is closed at the end. Returns Ok only when
// everything was acknowledged, verified and done; a link result or VerificationFailed
// otherwise.
ConfigResult writeSettings(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                           const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context);

// The same write with the lines chosen by `plan` (writeSettings plans the whole sequence
// of `working`); `working` is what the verification expects. WriteRefused when the plan
// was refused.
ConfigResult writePlanned(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                          const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context,
                          const PlanWrite& plan);

} // namespace kavrel::config
