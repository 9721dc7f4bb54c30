// The journal of a write in its file, and the look before a write of a file from another
// firmware.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "common/win1250.h"
#include "config/model/write_journal.h"
#include "config/protocol/write_check.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::TempFolder;

namespace {

constexpr const char* kVersion = "Kavrel V3.6EL";

// The journal's file keeps the lines and marks through a save and a load, Polish letters and controls
// included.
TEST(WriteJournal, KeepsItsLinesAndMarksThroughTheFile) {
    const TempFolder temp;
    WriteJournal journal;
    journal.connection = "COM3 /dev/ttyUSB0";
    journal.versionText = kVersion;
    journal.target.setText(Field::Sms, 2, W("Przepełnienie zbiornika 100%"));
    journal.backupPath = (temp.path / "kopie" / "Kavrel V3.6EL COM3 2026-12-08 14.05.09.kvl").string();
    journal.started = {2026, 12, 8, 14, 5, 9};
    journal.actions = {"rtc", "restart"};
    journal.lines = {{"PIN=1234", true}, {"HALT!", true}, {W("SMS2=Przepełnienie 100%\t"), false}, {"ICFG1=3", false}};
    const std::string path = journalPath(temp.path.string(), journal.connection);
    ASSERT_TRUE(saveJournal(path, journal, true));
    WriteJournal loaded;
    ASSERT_EQ(loadJournal(path, loaded), JournalLoad::Ok);
    EXPECT_EQ(loaded.connection, journal.connection);
    EXPECT_EQ(loaded.versionText, journal.versionText);
    EXPECT_EQ(loaded.target, journal.target);
    EXPECT_EQ(loaded.backupPath, journal.backupPath);
    EXPECT_EQ(loaded.actions, journal.actions);
    ASSERT_EQ(loaded.lines.size(), 4u);
    EXPECT_EQ(loaded.lines[2].text, journal.lines[2].text);
    EXPECT_EQ(loaded.firstUnacknowledged(), 2u);

    // A record that does not match its hash is a damaged journal, never a resumable one.
    std::string text = kavrel::testing::readWholeFile(path);
    const auto record = text.find("rekord ") + 7;
    text[record] = text[record] == '0' ? '1' : '0';
    std::ofstream(path, std::ios::binary) << text;
    EXPECT_EQ(loadJournal(path, loaded), JournalLoad::Damaged);
    EXPECT_TRUE(removeJournal(path));
    EXPECT_EQ(loadJournal(path, loaded), JournalLoad::Missing);
}

// A file from a V2.0 module written to a V3.6 one, and the reverse, lists exactly the
// elements whose lines differ between the two versions' writes.
TEST(WriteCheck, AnotherFirmwareListsTheFieldsSentDifferently) {
    SettingsImage image;
    image.setByte(Field::Mcfg2, 1);   // the extension's lines are sent from 2.5 on
    image.setByte(Field::Thtp, 12);   // and the HTTP addresses from 2.7 on
    const auto v20 = link::parseVersion("Kavrel V2.0"), v36 = link::parseVersion(kVersion);
    std::set<std::string> expected;
    auto add = [&](const char* stem, int first, int last) {
        for (int n = first; n <= last; ++n) expected.insert(stem + std::to_string(n));
    };
    add("APN", 3, 6);                          // the E firmware has seven access points
    add("EAD", 0, 5);                          // e-mail from 2.0E on
    add("SEML", 1, 8);
    for (const char* key : {"SLOG", "SLGT", "MCFG2", "SXML", "ATIM", "THTP", "NUID", "TGAC", "URL0", "URL1", "URL2"})
        expected.insert(key);
    add("ADEL", 1, 8);                         // 2.2
    add("XCFG", 1, 17);                        // 2.5 with the extension
    add("XMS", 1, 17);
    for (const char* key : {"XTYP1", "XLO1", "XHI1", "XTYP9", "XLO9", "XHI9"}) expected.insert(key);   // 2.8
    add("NUM", 6, 10);                         // 2.6
    add("ECFG", 1, 8);
    add("SCLA", 1, 8);
    add("SCLB", 1, 8);
    add("WKD", 1, 3);                          // 3.6, and the balance-check code's extension
    expected.insert("URL2E0");
    const auto there = keysSentDifferently(image, v20, v36), back = keysSentDifferently(image, v36, v20);
    const std::set<std::string> got(there.begin(), there.end());
    for (const auto& k : got) if (!expected.count(k)) ADD_FAILURE() << "extra " << k;
    for (const auto& k : expected) if (!got.count(k)) ADD_FAILURE() << "missing " << k;
    EXPECT_EQ(back, there);

    // Bytes read also from a module of this version (as a serial link reports it), in
    // range: nothing to confirm; no version noted: only the ranges.
    EXPECT_FALSE(checkWrite(image, {"Kavrel V2.0", std::string(kVersion) + "  "}, kVersion).needsConfirmation());
    image.setWord(Field::Scla, 3, 0x8000);
    const WriteCheck check = checkWrite(image, {}, kVersion);
    ASSERT_EQ(check.outOfRange.size(), 1u);
    EXPECT_EQ(check.outOfRange[0].key, "SCLA3");
    EXPECT_TRUE(check.versionKeys.empty());
}

} // namespace
