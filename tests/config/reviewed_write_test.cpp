// A write that looks first: the changes shown before anything is sent, the backup of what
// the module held, and the write stopped by a cancel or by a backup that cannot be saved.
#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <fstream>

#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/field_captions.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/reviewed_write.h"
#include "config_sim.h"
#include "support/file_contents.h"
#include "support/recording_observer.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::TempFolder;
using kavrel::testing::RecordingObserver;
using kavrel::testing::SimWithConfig;

namespace {

SettingsImage readModule(SimWithConfig& sim) {
    link::ModuleLink moduleLink;
    sim.fixture.useTcp(moduleLink);
    RecordingObserver observer;
    SettingsImage image;
    EXPECT_EQ(readSettings(moduleLink, image, observer), ConfigResult::Ok);
    return image;
}

bool onlyQueries(const std::vector<std::string>& journal) {
    return std::all_of(journal.begin(), journal.end(), [](const std::string& line) { return line.ends_with('?'); });
}

struct ReviewedRun {
    RecordingObserver observer;
    ReviewedWriteOutcome outcome;
    std::vector<std::string> shownKeys;
    ConfigResult result = static_cast<ConfigResult>(-1);  // not run yet

    ReviewedRun(SimWithConfig& sim, const SettingsImage& working, WriteReview review, bool send) {
        link::ModuleLink moduleLink;
        sim.fixture.useTcp(moduleLink);
        FixedClock clock({2026, 12, 8, 14, 5, 9});
        SettingsImage readBack;
        review.confirm = [&](const ModuleReview& module) {
            for (const auto& change : module.changes) shownKeys.push_back(change.key);
            return send;
        };
        result = writeSettingsReviewed(moduleLink, working, readBack, {}, observer, {clock}, review,
                                       outcome);
    }
};

} // namespace

TEST(ReviewedWrite, ShowsTheChangedFieldsAndCancelSendsOnlyQueries) {
    SimWithConfig sim("Kavrel V3.6EL");
    SettingsImage working = readModule(sim);
    working.setText(Field::Pin, "4321");
    working.setByte(Field::Icfg, 2, static_cast<std::uint8_t>(working.byte(Field::Icfg, 2) ^ 0x03));
    // Neither is a change of what the module holds: bytes after a text's end, reserved bytes.
    working.element(Field::Sms, 4)[150] = 'q';
    working.element(Field::Reserved3262)[0] = 0x55;
    sim.module->clearJournal();

    ReviewedRun run(sim, working, {}, false);
    EXPECT_EQ(run.result, ConfigResult::WriteCancelled);
    EXPECT_EQ(run.shownKeys, (std::vector<std::string>{"PIN", "ICFG2"}));
    EXPECT_EQ(run.outcome.changes[0].caption, "Ustawienia ogólne: PIN");
    EXPECT_EQ(run.outcome.changes[0].before, "\"1234\"");
    EXPECT_EQ(run.outcome.changes[0].after, "\"4321\"");
    const int icfg2 = working.byte(Field::Icfg, 2);
    EXPECT_EQ(run.outcome.changes[1].after, std::to_string(icfg2) + " [" + std::bitset<8>(icfg2).to_string() + "]")
        << "option bytes show their bits";
    EXPECT_EQ(run.outcome.changes[1].caption, "Linie wejściowe L1...L8: Linia L2, HL, LH, SMS na numery 1...5, czujnik");
    EXPECT_TRUE(onlyQueries(sim.module->journal())) << sim.module->journal().size();
    EXPECT_EQ(sim.module->value("PIN"), "1234");
    EXPECT_EQ(run.observer.calls.back(), "status: Wysyłanie ustawień anulowane");
}

TEST(ReviewedWrite, WritesAfterABackupOfWhatTheModuleHeld) {
    TempFolder temp;
    SimWithConfig sim("Kavrel V3.6EL");
    const SettingsImage before = readModule(sim);
    SettingsImage working = before;
    working.setText(Field::Sms, 3, W("Zalanie piwnicy"));
    working.setWord(Field::Uhi, 5, 2500);

    WriteReview review;
    review.backupFolder = (temp.path / "kopie").string();
    review.connection = connectionTag(true, 1, "127.0.0.1", 23);
    ReviewedRun run(sim, working, review, true);
    ASSERT_EQ(run.result, ConfigResult::Ok) << run.observer.calls.back();
    EXPECT_EQ(run.shownKeys, (std::vector<std::string>{"UHI5", "SMS3"}));
    EXPECT_EQ(sim.module->value("UHI5"), "2500");

    const auto backups = listBackups(review.backupFolder);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].fileName, "Kavrel V3.6EL 127.0.0.1_23 2026-12-08 14.05.09.kvl");
    EXPECT_EQ(backups[0].path, run.outcome.backupPath);
    const auto& bytes = before.bytes();
    EXPECT_EQ(kavrel::testing::readWholeFile(backups[0].path), std::string(bytes.begin(), bytes.end()));
}

TEST(ReviewedWrite, ABackupThatCannotBeSavedStopsTheWrite) {
    TempFolder temp;
    // A file where the folder should be: no user, root included, can create it.
    std::ofstream(temp.path / "kopie") << "x";
    SimWithConfig sim("Kavrel V3.6EL");
    SettingsImage working = readModule(sim);
    working.setText(Field::Pin, "4321");
    sim.module->clearJournal();

    WriteReview review;
    review.backupFolder = (temp.path / "kopie" / "Kavrel").string();
    review.connection = "COM1";
    ReviewedRun run(sim, working, review, true);
    EXPECT_EQ(run.result, ConfigResult::BackupFailed);
    EXPECT_TRUE(onlyQueries(sim.module->journal()));
    EXPECT_EQ(sim.module->value("PIN"), "1234");
    EXPECT_EQ(run.observer.only("message"),
              (std::vector<std::string>{"message[error]: Nie udało się zapisać kopii zapasowej ustawień modułu:\r\n" +
                                        review.backupFolder + "/Kavrel V3.6EL COM1 2026-12-08 14.05.09.kvl" +
                                        "\r\nUstawienia nie zostały wysłane do modułu."}));
    EXPECT_EQ(run.observer.calls.back(), "status: Błąd zapisu kopii zapasowej, ustawienia nie wysłane");
}

TEST(ReviewedWrite, ListsOnlyWhatTheVersionIsSent) {
    SettingsImage module, working;
    working.setText(Field::Apn, 0, "internet");   // sent from 2.0 on
    working.setText(Field::Url0, "srv.pl");       // sent only with HTTP on (THTP 1..254)
    working.setText(Field::Ead, 2, "a@b.pl");     // sent to "E" versions only
    working.setByte(Field::Wkd, 1, 3);            // sent from 3.6 on
    const auto keys = [&](const char* version) {
        std::vector<std::string> out;
        for (const auto& change : changesForWrite(module, working, link::parseVersion(version))) out.push_back(change.key);
        return out;
    };
    EXPECT_EQ(keys("Kavrel V1.9"), std::vector<std::string>{});
    EXPECT_EQ(keys("Kavrel V2.0"), (std::vector<std::string>{"APN0"}));
    EXPECT_EQ(keys("Kavrel V3.6EL"), (std::vector<std::string>{"APN0", "EAD2", "WKD1"}));
    working.setByte(Field::Thtp, 2);
    EXPECT_EQ(keys("Kavrel V3.6EL"), (std::vector<std::string>{"APN0", "EAD2", "WKD1", "THTP", "URL0"}));
}

TEST(BackupStore, NamesListingAndCaptions) {
    TempFolder temp;
    const std::string folder = (temp.path / "kopie").string();
    SettingsImage image;
    const LocalDateTime early{2026, 12, 8, 9, 0, 1}, late{2026, 12, 8, 14, 5, 9};
    EXPECT_EQ(backupFileName(W("Kavrel V3.6EL/ł:1"), "COM3", late), "Kavrel V3.6EL_ł_1 COM3 2026-12-08 14.05.09.kvl");
    EXPECT_EQ(connectionTag(true, 1, "10.0.0.5", 4001), "10.0.0.5_4001");
    EXPECT_EQ(connectionTag(false, 12, "", 0), "COM12");
    ASSERT_TRUE(saveBackup(folder, image, "Kavrel V2.7E", "COM1", early).saved);
    ASSERT_TRUE(saveBackup(folder, image, "Kavrel V3.6EL", "COM3", late).saved);
    ASSERT_TRUE(saveBackup(folder, image, "Kavrel V3.6EL", "COM3", late).saved);  // same second
    std::ofstream(temp.path / "kopie" / "notatki.kvl") << "not a backup";
    const auto entries = listBackups(folder);
    std::vector<std::string> names;
    for (const auto& entry : entries) names.push_back(entry.fileName);
    EXPECT_EQ(names, (std::vector<std::string>{"Kavrel V3.6EL COM3 2026-12-08 14.05.09 (2).kvl",
                                               "Kavrel V3.6EL COM3 2026-12-08 14.05.09.kvl",
                                               "Kavrel V2.7E COM1 2026-12-08 09.00.01.kvl"}));
    EXPECT_EQ(entries[2].version, "Kavrel V2.7E");
    EXPECT_EQ(backupTimeText(entries[2].time), "2026-12-08 09:00:01");
    EXPECT_TRUE(listBackups((temp.path / "none").string()).empty());

    // Every element of the record has a caption, and no two elements share one.
    std::vector<std::string> captions;
    for (const FieldInfo& info : fieldTable())
        for (int n = info.first; n <= info.last() && info.kind != FieldKind::Reserved; ++n)
            captions.push_back(fieldCaption(info, n));
    std::sort(captions.begin(), captions.end());
    EXPECT_EQ(std::adjacent_find(captions.begin(), captions.end()), captions.end());
    EXPECT_EQ(std::count(captions.begin(), captions.end(), std::string()), 0);
}
