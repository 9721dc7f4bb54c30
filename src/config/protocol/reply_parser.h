// The one parser of the module's key=value replies ("SET?", "SMS?", "APN?", "EAD?",
// "XCFG?", "ECFG?") into a settings record. It reads text that comes from outside, so any
// bytes of any length are safe input.
#pragma once

#include <string_view>

#include "config/model/settings_image.h"
#include "link/firmware_version.h"

namespace kavrel::config {

// Stores every recognised key of the reply into the record; fields whose keys are absent
// keep their content (the record is never cleared first). Keys are found anywhere in the
// text, except inside a text value, which runs to its CR. The reply ends at its first
// NUL. RCFG, CLIP and CTRL carry as many values as the firmware version reports.
void parseReply(std::string_view reply, SettingsImage& target, const link::FirmwareVersion& version);

} // namespace kavrel::config
