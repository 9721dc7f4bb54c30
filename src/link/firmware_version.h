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

    // What the firmware knows, by version: each threshold is written here and only here.
    // The tables of version-dependent rows name these tests as member pointers
    // (VersionTest); anyVersion() is the test of a row every firmware takes.
    constexpr bool anyVersion() const { return true; }
    constexpr bool fromV17() const { return versionCode >= 0x17; }
    constexpr bool fromV19() const { return versionCode >= 0x19; }
    constexpr bool fromV20() const { return versionCode >= 0x20; }
    constexpr bool fromV20WithE() const { return fromV20() && eFlag; }
    constexpr bool fromV22() const { return versionCode >= 0x22; }
    constexpr bool fromV25() const { return versionCode >= 0x25; }
    constexpr bool fromV26() const { return versionCode >= 0x26; }
    constexpr bool fromV27() const { return versionCode >= 0x27; }
    constexpr bool fromV28() const { return versionCode >= 0x28; }
    constexpr bool fromV36() const { return versionCode >= 0x36; }

    // E-mail settings ("APN?"): an "E" firmware from V2.0, every firmware from V2.7.
    constexpr bool hasMail() const { return fromV20WithE() || fromV27(); }
    // The e-mail addresses ("EAD?") only on an "E" firmware.
    constexpr bool hasMailAddresses() const { return hasMail() && eFlag; }
    // The operator choice (COPS) from V2.9, and on V2.8 of variant D and later.
    constexpr bool hasOperatorChoice() const {
        return versionCode >= 0x29 || (versionCode == 0x28 && variantLetter >= 'D' && variantLetter <= 'Z');
    }
};

// One of the tests above, as a table row holds it: &FirmwareVersion::fromV25.
using VersionTest = bool (FirmwareVersion::*)() const;

constexpr bool passes(const FirmwareVersion& version, VersionTest test) { return (version.*test)(); }

// Fills a version from a version text. The version is the first "V" or "v" among the
// first 16 characters that is followed by a digit, any one character and a digit (the
// module's own name, "Kavrel", holds a "v" too); up to four characters after the number
// give the flags. No such "V": everything stays 0.
FirmwareVersion parseVersion(std::string_view versionText);

} // namespace kavrel::link
