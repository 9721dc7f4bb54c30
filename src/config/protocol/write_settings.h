// "Wyślij do modułu": write the record line by line, verify it by reading it back, then
// run the service actions the user ticked.
#pragma once

#include "common/clock.h"
#include "common/observer.h"
#include "config/model/settings_image.h"
#include "config/protocol/config_result.h"
#include "config/protocol/service_actions.h"
#include "link/module_link.h"

namespace kavrel::config {

struct WriteContext {
    const Clock& clock;   // the PC's local time for "TIME=", and the pauses around corrective re-sends
};

// Opens the link with the writing handshake, sends the write sequence (each line waits
// for its "OK"; SMS texts get a second try), verifies, and runs the chosen service
// actions. `readBack` is the verification's second record: the caller keeps it between
// operations, as the window does. The link is closed at the end. Returns Ok only when
// everything was acknowledged, verified and done; a link result or VerificationFailed
// otherwise.
ConfigResult writeSettings(link::ModuleLink& link, int comPort, const SettingsImage& working, SettingsImage& readBack,
                           const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context);

} // namespace kavrel::config
