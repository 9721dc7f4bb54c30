// The journal of a write in its file, the write that stops when its journal cannot be
// kept, and the look before a write of a file from another firmware.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "common/win1250.h"
#include "config/model/write_journal.h"
#include "config/protocol/journaled_write.h"
#include "config/protocol/write_check.h"
#include "config_sim.h"
#include "support/file_contents.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimWithConfig;
using kavrel::testing::TempFolder;
namespace fs = std::filesystem;

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

// A journal recorder whose file becomes impossible to replace after `after` acknowledged
// lines (the disk filled, the folder was taken away): the journal saved last is moved aside.
struct JournalLostAfter final : WriteRecorder {
    JournalLostAfter(JournalRecorder& journal, std::size_t after) : journal(journal), after(after) {}
    bool starting(const std::string& version, const std::vector<WriteStep>& steps, std::size_t first) override {
        return journal.starting(version, steps, first);
    }
    bool acknowledged(std::size_t index) override {
        if (++acks == after) {
            fs::rename(journal.path(), journal.path() + ".kept");
            fs::create_directory(journal.path());
        }
        return journal.acknowledged(index);
    }
    void verified() override { journal.verified(); }
    std::string stopReason() const override { return journal.stopReason(); }
    JournalRecorder& journal;
    std::size_t after, acks = 0;
};

std::size_t writeLinesReceived(const SimWithConfig& sim) {
    const auto lines = sim.module->journal();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
        return line.find('=') != std::string::npos && !line.starts_with("PIN=");
    }));
}

// A write goes no further than its journal: a journal that cannot be saved before the first
// line sends nothing, and one that cannot be saved later stops the write after that line,
// with the journal on the disk as it was last saved, and says why.
TEST(WriteJournal, AJournalThatCannotBeSavedStopsTheWrite) {
    const TempFolder temp;
    const FixedClock clock({2026, 12, 8, 14, 5, 9, 2});
    SettingsImage target;
    target.setText(Field::Sms, 2, W("Przepełnienie"));
    for (const std::size_t lostAfter : {std::size_t{0}, std::size_t{4}}) {
        SCOPED_TRACE(lostAfter);
        SimWithConfig sim(kVersion);
        link::ModuleLink moduleLink(link::LinkVariant::configurator());
        sim.fixture.useTcp(moduleLink);
        JournalRecorder journal = journalForWrite(temp.path.string(), "tcp" + std::to_string(lostAfter), target, {}, clock.now());
        if (lostAfter == 0) fs::create_directories(journal.path());
        JournalLostAfter recorder(journal, lostAfter);
        RecordingObserver observer;
        SettingsImage readBack;
        EXPECT_EQ(writeSettings(moduleLink, target, readBack, {}, observer, {clock, &recorder}), ConfigResult::JournalFailed);
        EXPECT_FALSE(moduleLink.isOpen());
        const std::string reason = "message[error]: Nie można zapisać dziennika zapisu (brak miejsca na dysku albo prawa zapisu):\r\n" + journal.path();
        if (lostAfter == 0) {
            EXPECT_EQ(observer.only("message"), std::vector<std::string>{reason +
                      "\r\nBez niego przerwanego zapisu nie dałoby się dokończyć ani cofnąć; nic nie zostało wysłane do modułu."});
            EXPECT_EQ(writeLinesReceived(sim), 0u);
            continue;
        }
        const std::string total = std::to_string(journal.journal().lines.size());
        EXPECT_EQ(observer.only("message"), std::vector<std::string>{reason + "\r\nZapis zatrzymano po 4. z " + total +
                  " linii; zapisany wcześniej dziennik pozwala go dokończyć albo przywrócić kopię."});
        EXPECT_EQ(observer.only("status").back(), "status: Zapis przerwany");
        WriteJournal kept;
        ASSERT_EQ(loadJournal(journal.path() + ".kept", kept), JournalLoad::Ok);
        EXPECT_EQ(kept.acknowledgedCount(), 3u);
        EXPECT_EQ(sim.module->journal().back().substr(0, 4), kept.lines[3].text.substr(0, 4)) << "nothing sent after the stop";
    }
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
