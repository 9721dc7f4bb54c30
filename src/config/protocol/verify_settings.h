// The read-back after a write: the module's settings are read into a second record and
// compared with what was sent; differing texts and extended values are sent again, at
// most three times per block of texts.
#pragma once

#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "config/model/settings_image.h"
#include "config/protocol/config_result.h"
#include "link/firmware_version.h"
#include "link/module_link.h"

namespace kavrel::config {

struct VerifyOutcome {
    ConfigResult result = ConfigResult::Ok;   // Ok, a link result, or VerificationFailed
    std::string label;     // the differing field found last, "(SMS2/15)"; "" when verified
};

// Runs on the open link after the write sequence. Appends ",\r\nweryfikacja OK" or
// ",\r\nweryfikacja niepoprawna!" (with the message "Błąd weryfikacji" and the label) to
// the status; an unanswered "HALT!" or query ends it with its own message and status.
VerifyOutcome verifySettings(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                             const link::FirmwareVersion& version, OperationObserver& observer,
                             const Clock& clock);

} // namespace kavrel::config
