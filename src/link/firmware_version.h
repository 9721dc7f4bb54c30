// The firmware version learnt from the module's answer to "VER?".
#pragma once

#include <string_view>

namespace kavrel::link {

struct FirmwareVersion {
    int versionCode = 0;     // major digit x 16 + minor digit: "V2.7" is 0x27
    bool eFlag = false;      // "E" follows the version number
    bool lFlag = false;      // "L" follows the version number
    char variantLetter = 0;  // the last other capital letter after the number, 0 if none

    bool operator==(const FirmwareVersion&) const = default;
};

// Thresholds the configurator compares versionCode with.
enum FirmwareThreshold : int {
    kV17 = 0x17, kV19 = 0x19, kV20 = 0x20, kV22 = 0x22, kV25 = 0x25,
    kV26 = 0x26, kV27 = 0x27, kV28 = 0x28, kV29 = 0x29, kV36 = 0x36,
};

// Fills a version from a version text. The version is the first "V" or "v" among the
// first 16 characters that is followed by a digit, any one character and a digit (the
// module's own name, "Kavrel", holds a "v" too); up to four characters after the number
// give the flags. No such "V": everything stays 0.
FirmwareVersion parseVersion(std::string_view versionText);

} // namespace kavrel::link
