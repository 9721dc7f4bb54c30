// The look before a write of a settings file: a file saved from a module with another
// firmware is sent differently by this module's version (lines added, left out or made
// otherwise), and a file edited elsewhere may hold values the dialogs would never let
// through. Both are listed for the user to confirm; a same-version, in-range file has
// nothing to confirm.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/model/settings_image.h"
#include "link/firmware_version.h"

namespace kavrel::config {

struct OutOfRangeValue {
    std::string key;       // "SCLA3"
    std::string value;     // as stored: "-32768"
    std::string allowed;   // "-32767..32767"
};

struct WriteCheck {
    std::string fileVersion;                 // Windows-1250; "" when no version was noted for the file
    std::string moduleVersion;
    std::vector<std::string> versionKeys;    // elements sent differently at the two versions
    std::vector<OutOfRangeValue> outOfRange;

    bool needsConfirmation() const { return !versionKeys.empty() || !outOfRange.empty(); }
};

// The elements whose lines differ between a write of `image` at version `a` and at `b`:
// sent at one and not the other, or sent in another form. Keys ("APN3", "WKD1") in the
// order of the field table.
std::vector<std::string> keysSentDifferently(const SettingsImage& image, const link::FirmwareVersion& a,
                                             const link::FirmwareVersion& b);

// Values outside what the settings dialogs accept.
std::vector<OutOfRangeValue> valuesOutsideDialogs(const SettingsImage& image);

// Whether two version texts name the same firmware: a serial link reports the text with
// the line end after it shown as blanks, TCP without.
bool sameVersionText(const std::string& a, const std::string& b);

// Both checks. The version keys only when versions were noted for the file and the
// module's is not among them (then against the latest noted).
WriteCheck checkWrite(const SettingsImage& image, const std::vector<std::string>& fileVersions,
                      const std::string& moduleVersion);

// The list as the window and the tool show it (Windows-1250, CR LF between lines).
std::string writeCheckText(const WriteCheck& check);

} // namespace kavrel::config
