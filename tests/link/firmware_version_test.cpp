#include <gtest/gtest.h>

#include "link/firmware_version.h"

using kavrel::link::FirmwareVersion;
using kavrel::link::parseVersion;

TEST(ParseVersion, ExamplesOfTheModulesVersionTexts) {
    struct Case { const char* text; FirmwareVersion expected; };
    const Case cases[] = {
        {"Kavrel V2.7E", {0x27, true, false, 0}},
        {"V2.7E", {0x27, true, false, 0}},
        {"V2.5", {0x25, false, false, 0}},
        {"V3.6EL", {0x36, true, true, 0}},
        {"Kavrel V3.6EL  ", {0x36, true, true, 0}},
        {"V2.8D", {0x28, false, false, 'D'}},
        {"v1.9", {0x19, false, false, 0}},
        {"V2.9 ELXQ", {0x29, true, true, 'X'}},  // four characters after the number: " ELX"
        {"V2.8DC", {0x28, false, false, 'C'}},  // the last other capital wins
    };
    for (const auto& c : cases) EXPECT_EQ(parseVersion(c.text), c.expected) << c.text;
}

TEST(ParseVersion, TextsWithoutAUsableVersionGiveZero) {
    const char* texts[] = {
        "", "Kavrel", "V", "V2", "V2.", "Vx.7E", "V2.xE", "Kavrel v", "abcdefghijklmnopV2.7E",  // V after 16 characters
        "\xFF\xFF\xFF\xFF", "OK", "vvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvvv",
    };
    for (const char* text : texts) EXPECT_EQ(parseVersion(text), FirmwareVersion{}) << text;
    EXPECT_EQ(parseVersion("abcdefghijklmnoV2.7").versionCode, 0x27);  // the sixteenth character still counts
}
