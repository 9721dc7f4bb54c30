// A settings file holds no firmware version, so the configurator notes it aside: when a
// record read from a module is saved (or kept as a backup), the module's version text is
// written to "wersje/<hash of the record>" in the backup folder. A later write of the same
// bytes knows which firmware they came from.
#pragma once

#include <optional>
#include <string>

#include "config/model/settings_image.h"

namespace kavrel::config {

// Best effort: false when the note could not be written (the file itself is saved anyway).
bool noteSettingsVersion(const std::string& folder, const SettingsImage& image, const std::string& versionText);

// The version text (Windows-1250) noted for these bytes, if any.
std::optional<std::string> notedSettingsVersion(const std::string& folder, const SettingsImage& image);

} // namespace kavrel::config
