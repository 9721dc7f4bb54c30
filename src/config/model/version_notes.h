// A settings file holds no firmware version, so the configurator notes it aside: when a
// record read from a module is saved (or kept as a backup), the module's version text is
// added to "wersje/<hash of the record>" in the backup folder, one version a line, the
// latest last. A later write of the same bytes knows which firmware they came from; bytes
// read alike from two firmwares name both.
#pragma once

#include <string>
#include <vector>

#include "config/model/settings_image.h"

namespace kavrel::config {

// Best effort: false when the note could not be written (the file itself is saved anyway).
bool noteSettingsVersion(const std::string& folder, const SettingsImage& image, const std::string& versionText);

// The version texts (Windows-1250) noted for these bytes, the latest last; none when unknown.
std::vector<std::string> notedSettingsVersions(const std::string& folder, const SettingsImage& image);

} // namespace kavrel::config
