// A write cut part-way, over loopback TCP and a pseudo-terminal that hangs up: at cut points
// across the whole V3.6EL sequence (every kind of line among them), `kavrel config resume`
// brings the module to the target and `kavrel config restore` back to the backup, and no
// cut run reports success. Also the look before a write of a file from another firmware.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "cli/commands.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/model/version_notes.h"
#include "config/model/write_journal.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/write_check.h"
#include "config_sim.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::SimWithConfig;
using kavrel::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

constexpr const char* kVersion = "Kavrel V3.6EL";

enum class Transport { Tcp, Pty };

// A simulated module that cuts the link after write command `cutAt` (0: never).
struct CutModule {
    CutModule(int cutAt, const fs::path& ptyLink)
        : config(std::make_shared<sim::ModuleConfiguration>()),
          fixture(sim::SimOptions{.versionText = kVersion,
                                  .faults = {.cutAtWriteCommand = cutAt},
                                  .ptyLink = ptyLink.string(),
                                  .config = {.module = config}}) {}
    std::shared_ptr<sim::ModuleConfiguration> config;
    kavrel::testing::SimFixture fixture;
};

// Every value the module holds, defaults included, by key.
std::map<std::string, std::string> held(const sim::ModuleConfiguration& module, const std::set<std::string>& keys) {
    std::map<std::string, std::string> values;
    for (const auto& key : keys) values[key] = module.value(key);
    return values;
}

struct Tool {
    std::ostringstream out, err;
    int run(const CutModule& module, Transport transport, const fs::path& ptyLink, std::vector<std::string> args) {
        out.str("");
        err.str("");
        cli::TerminalObserver observer(err, false);
        cli::ConnectionChoice connection;
        if (transport == Transport::Tcp) connection = {.tcp = true, .address = "127.0.0.1", .tcpPort = module.fixture.port()};
        else connection = {.comPort = 4, .devicePath = ptyLink.string()};
        cli::CliContext context{connection, out, err, observer, {}};
        return cli::runConfig(context, args);
    }
};

// A record that changes a line in every block of the write: numbers, texts, lists, the
// extended lines and the HTTP addresses (both switched on, so that their lines are sent).
SettingsImage targetFrom(SettingsImage image) {
    image.setText(Field::Pin, "4321");
    image.setPhoneNumber(3, "+48601002003");
    image.setWord(Field::Trpt, 90);
    image.setByte(Field::Slim, 40);
    image.setText(Field::Sms, 0, W("Zanik zasilania – pompownia"));
    image.setText(Field::Sms, 9, "Koniec alarmu");
    image.setWord(Field::Ulo, 4, 1234);
    image.setByte(Field::Ocfg, 5, 2);
    image.setByte(Field::Logt, 15);
    image.setByte(Field::Adel, 6, 9);
    image.setText(Field::Apn, 5, "internet.test");
    image.setText(Field::Ead, 2, "serwis@example.pl");
    image.setByte(Field::Mcfg2, 1);
    image.setText(Field::Xms, 12, "Zbiornik 12");
    image.setPhoneNumber(8, "+48602003004");
    image.setByte(Field::Thtp, 12);
    image.setText(Field::Url0, "srv.example.pl");
    image.setText(Field::Url1, "/kavrel/dane");
    return image;
}

// The first line of every block of the sequence (the kinds of line: numbers, lists, texts
// with their second try, "HALT!", the extension's lines, the last line), then more cut
// points spread evenly until there are at least 20.
std::vector<int> cutPoints(const std::vector<WriteStep>& steps) {
    std::set<int> points;
    std::set<std::string> kinds;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::string kind = steps[i].line.substr(0, steps[i].line.find_first_of("=0123456789 "));
        if (kinds.insert(kind).second) points.insert(static_cast<int>(i) + 1);
    }
    points.insert(static_cast<int>(steps.size()));
    for (std::size_t i = 1; points.size() < 20; i += steps.size() / 20) points.insert(static_cast<int>(i));
    return {points.begin(), points.end()};
}

class InterruptedWrite : public ::testing::TestWithParam<Transport> {
protected:
    void SetUp() override { ::setenv(kBackupFolderVariable, (temp.path / "kopie").c_str(), 1); }
    void TearDown() override { ::unsetenv(kBackupFolderVariable); }

    TempFolder temp;
    fs::path ptyLink = temp.path / "ttyKAVREL";
};

TEST_P(InterruptedWrite, ResumeReachesTheTargetAndRestoreTheBackupAtEveryCut) {
    const Transport transport = GetParam();
    const std::string targetFile = (temp.path / "cel.kvl").string(), firstFile = (temp.path / "modul.kvl").string();
    Tool tool;

    // What the module holds before and after a whole write, from a module never cut.
    std::set<std::string> keys;
    std::map<std::string, std::string> before, after;
    std::vector<WriteStep> steps;
    {
        CutModule clean(0, ptyLink);
        ASSERT_EQ(tool.run(clean, transport, ptyLink, {"read", "-o", firstFile}), 0) << tool.err.str();
        SettingsImage first;
        ASSERT_EQ(loadSettingsFile(firstFile, first), SettingsFileResult::Ok);
        const SettingsImage target = targetFrom(first);
        ASSERT_EQ(saveSettingsFile(targetFile, target), SettingsFileResult::Ok);
        steps = writeSequence(target, link::parseVersion(kVersion));
        const auto pristine = clean.config->storedKeys();
        ASSERT_EQ(tool.run(clean, transport, ptyLink, {"write", targetFile}), 0) << tool.err.str();
        for (const auto& key : clean.config->storedKeys()) keys.insert(key);
        CutModule fresh(0, ptyLink);
        before = held(*fresh.config, keys);
        after = held(*clean.config, keys);
        ASSERT_NE(before, after);
    }
    const auto points = cutPoints(steps);
    ASSERT_GE(points.size(), 20u);
    const std::string journal =
        journalPath((temp.path / "kopie").string(),
                    transport == Transport::Tcp ? "" : connectionIdentity(false, 4, ptyLink.string(), "", 0));

    for (const int cutAt : points) {
        SCOPED_TRACE("cut after write command " + std::to_string(cutAt) + ": " + steps[static_cast<std::size_t>(cutAt - 1)].line);
        for (const bool restore : {false, true}) {
            CutModule module(cutAt, ptyLink);
            EXPECT_EQ(tool.run(module, transport, ptyLink, {"write", targetFile, "--backup"}), 1);
            EXPECT_EQ(tool.err.str().find("weryfikacja OK"), std::string::npos) << "a cut write reports success";
            EXPECT_EQ(tool.run(module, transport, ptyLink, {"status"}), 1) << tool.out.str();
            if (!restore) {
                ASSERT_EQ(tool.run(module, transport, ptyLink, {"resume"}), 0) << tool.err.str();
                EXPECT_EQ(held(*module.config, keys), after);
            } else {
                ASSERT_EQ(tool.run(module, transport, ptyLink, {"restore"}), 0) << tool.err.str();
                EXPECT_EQ(held(*module.config, keys), before);
            }
            EXPECT_NE(tool.err.str().find("weryfikacja OK"), std::string::npos);
            EXPECT_EQ(tool.run(module, transport, ptyLink, {"status"}), 0) << "the verified write ends the journal";
            if (cutAt == points.back() && !restore) {
                // Nothing left to finish: said so, exit 1, nothing sent.
                const auto sent = module.config->journal().size();
                EXPECT_EQ(tool.run(module, transport, ptyLink, {"resume"}), 1);
                EXPECT_NE(tool.err.str().find("Brak niedokończonego zapisu"), std::string::npos);
                EXPECT_EQ(module.config->journal().size(), sent);
            }
        }
    }
    (void)journal;
}

INSTANTIATE_TEST_SUITE_P(Transports, InterruptedWrite, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& info) { return info.param == Transport::Tcp ? "Tcp" : "Pty"; });

// A line acknowledged by the module but whose "OK" was lost is sent again; the journal's
// file keeps the lines and marks through a save and a load, Polish letters and controls
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
    add("WKD", 1, 3);                          // 3.6
    const auto there = keysSentDifferently(image, v20, v36), back = keysSentDifferently(image, v36, v20);
    EXPECT_EQ(std::set<std::string>(there.begin(), there.end()), expected);
    EXPECT_EQ(back, there);

    // The same version, in range: nothing to confirm; an unknown version: only the ranges.
    EXPECT_FALSE(checkWrite(image, std::string(kVersion), kVersion).needsConfirmation());
    image.setWord(Field::Scla, 3, 0x8000);
    const WriteCheck check = checkWrite(image, std::nullopt, kVersion);
    ASSERT_EQ(check.outOfRange.size(), 1u);
    EXPECT_EQ(check.outOfRange[0].key, "SCLA3");
    EXPECT_TRUE(check.versionKeys.empty());
}

} // namespace
