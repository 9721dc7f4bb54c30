// The assignment lines that carry the settings record to the module: one formatter for
// a single field (also used for the corrective re-sends of the verification) and the
// ordered write sequence, per firmware version, as a table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/model/settings_image.h"
#include "link/firmware_version.h"

namespace kavrel::config {

// The value of one element as the module takes it: texts up to their end (all of a full
// field, a CR sent as a blank), bytes and 16-bit words unsigned, SCLA and SCLB signed.
std::string valueText(const SettingsImage& image, Field id, int number = 0);
// "KEY=value" for one element: "PIN=1234", "ICFG3=133", "SCLA2=-5", "SMS3=Alarm".
std::string assignment(const SettingsImage& image, Field id, int number = 0);
// The balance-check code as the module takes it: URL2's six characters, and from
// version 3.6 on the extension characters that are set.
std::string url2Text(const SettingsImage& image, const link::FirmwareVersion& version);

// The extended lines are switched on (MCFG2 bit 0): their settings are written and verified.
inline bool extendedLinesOn(const SettingsImage& image) { return (image.byte(Field::Mcfg2) & 0x01) != 0; }
// HTTP notifications are switched on (THTP neither 0 nor 255): URL0 and URL1 count.
inline bool httpNotificationsOn(const SettingsImage& image) {
    const std::uint8_t thtp = image.byte(Field::Thtp);
    return thtp != 0 && thtp != 255;
}

struct WriteStep {
    std::string line;
    bool halt = false;         // "HALT!" between blocks: its answer is not examined
    bool secondTry = false;    // sent once more before giving up (SMS texts)
    std::string failureBox;    // Windows-1250 texts shown when the line is not acknowledged
    std::string failureStatus;
    int progressBefore = -1;   // -1: the progress bar is not moved
    int progressAfter = -1;
};

// The complete write sequence for this record and version, in order.
std::vector<WriteStep> writeSequence(const SettingsImage& image, const link::FirmwareVersion& version);

} // namespace kavrel::config
