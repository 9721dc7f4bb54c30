// kavrel config against the simulated module: read, edit, write with verification and
// service actions, read again, and the files compared field by field.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config_sim.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::readWholeFile;
using kavrel::testing::SimWithConfig;
using kavrel::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

struct Tool {
    std::ostringstream out, err;
    int run(const kavrel::testing::SimFixture& sim, std::vector<std::string> args) {
        out.str("");
        err.str("");
        cli::TerminalObserver observer(err, false);
        cli::CliContext context{sim.tcp(), out, err, observer, {}};
        return cli::runConfig(context, args);
    }
};

} // namespace

TEST(ConfigCommand, ReadEditWriteAndReadBackForEachVersion) {
    const TempFolder temp;
    const fs::path& folder = temp.path;
    const std::pair<const char*, int> versions[] = {{"Kavrel V1.9", 0x19},  {"Kavrel V2.0", 0x20},
                                                    {"Kavrel V2.0E", 0x20}, {"Kavrel V2.5", 0x25},
                                                    {"Kavrel V2.7E", 0x27}, {"Kavrel V3.6EL", 0x36}};
    for (const auto& [version, code] : versions) {
        // Each module's reads note their version for the files: a folder of its own each.
        ::setenv(kBackupFolderVariable, (folder / version).c_str(), 1);
        SimWithConfig sim(version);
        Tool tool;
        const std::string first = (folder / "first.kvl").string(), edited = (folder / "edited.kvl").string(),
                          second = (folder / "second.kvl").string();
        ASSERT_EQ(tool.run(sim.fixture, {"read", "-o", first}), 0) << version << tool.err.str();

        SettingsImage image;
        ASSERT_EQ(loadSettingsFile(first, image), FileResult::Ok);
        image.setText(Field::Pin, "4321");
        image.setText(Field::Sms, 3, W("Poziom wody – alarm"));
        image.setByte(Field::Icfg, 2, 0x87);
        image.setWord(Field::Ulo, 2, 2110);
        // Only what the version reports can come back.
        if (code >= 0x25) {
            image.setByte(Field::Mcfg2, 1);
            image.setText(Field::Xms, 4, "Zbiornik 4");
        }
        if (code >= 0x27) {
            image.setByte(Field::Thtp, 12);
            image.setText(Field::Url0, "srv.example.pl");
        }
        ASSERT_EQ(saveSettingsFile(edited, image), FileResult::Ok);

        ASSERT_EQ(tool.run(sim.fixture, {"write", edited, "--rtc", "--restart"}), 0) << version << tool.err.str();
        EXPECT_NE(tool.err.str().find("weryfikacja OK"), std::string::npos) << version;
        EXPECT_NE(tool.err.str().find("restart modułu."), std::string::npos) << version;
        EXPECT_EQ(sim.module->restarts(), 1) << version;

        ASSERT_EQ(tool.run(sim.fixture, {"read", "-o", second, "--base", first}), 0) << version;
        // Fields a version does not report keep the base file's value, as in the window.
        EXPECT_EQ(tool.run(sim.fixture, {"diff", edited, second}), 0) << version << "\n" << tool.out.str();
    }
    ::unsetenv(kBackupFolderVariable);
}

TEST(ConfigCommand, WriteThroughAVersionReplyInPiecesSendsEveryLine) {
    const TempFolder temp;
    const fs::path file = temp.path / "split.kvl";
    SettingsImage image;
    image.setText(Field::Pin, "1234");
    image.setText(Field::Url0, "srv.example.pl");
    ASSERT_EQ(saveSettingsFile(file.string(), image), FileResult::Ok);
    std::vector<std::string> journals[2];
    for (const int pieces : {0, 3}) {
        SimWithConfig sim("Kavrel V3.6EL", {}, {.splitBytes = pieces, .splitDelayMs = 5});
        Tool tool;
        EXPECT_EQ(tool.run(sim.fixture, {"write", file.string()}), 0) << pieces << tool.err.str();
        EXPECT_NE(tool.err.str().find("weryfikacja OK"), std::string::npos) << pieces;
        journals[pieces ? 1 : 0] = sim.module->journal();
    }
    // The lines of the later versions (APN, e-mail, extended lines, time settings) too.
    EXPECT_EQ(journals[1], journals[0]);
    EXPECT_GT(journals[0].size(), 40u);
}

TEST(ConfigCommand, DumpDiffAndBadInput) {
    const TempFolder temp;
    const fs::path& folder = temp.path;
    SettingsImage a;
    a.setText(Field::Sms, 1, W("Łódź"));
    SettingsImage b = a;
    b.setByte(Field::Icfg, 4, 3);
    ASSERT_EQ(saveSettingsFile((folder / "a.kvl").string(), a), FileResult::Ok);
    ASSERT_EQ(saveSettingsFile((folder / "b.kvl").string(), b), FileResult::Ok);
    SimWithConfig sim("Kavrel V3.6EL");
    Tool tool;
    EXPECT_EQ(tool.run(sim.fixture, {"dump", (folder / "a.kvl").string()}), 0);
    EXPECT_NE(tool.out.str().find("SMS1 = \"Łódź\"\n"), std::string::npos);
    EXPECT_EQ(tool.run(sim.fixture, {"diff", (folder / "a.kvl").string(), (folder / "b.kvl").string()}), 1);
    EXPECT_EQ(tool.out.str(), "ICFG4 (ICFG4): 0 -> 3\n");
    EXPECT_EQ(tool.run(sim.fixture, {"write", (folder / "missing.kvl").string()}), 1);
    EXPECT_EQ(tool.run(sim.fixture, {"read"}), 2);
    EXPECT_EQ(tool.run(sim.fixture, {"frobnicate"}), 2);
    EXPECT_TRUE(sim.module->journal().empty()) << "nothing reached the module";
}

// A folder or a FIFO given as a settings file is refused before anything reaches the
// module; read as an all-zero record and written, it would wipe the module.
TEST(ConfigCommand, FoldersAndFifosAreNoSettingsFiles) {
    const TempFolder temp;
    const fs::path& folder = temp.path;
    fs::create_directories(folder / "dir.kvl");
    ASSERT_EQ(::mkfifo((folder / "fifo.kvl").c_str(), 0600), 0);
    ASSERT_EQ(saveSettingsFile((folder / "good.kvl").string(), SettingsImage{}), FileResult::Ok);
    SimWithConfig sim("Kavrel V3.6EL");
    Tool tool;
    for (const char* odd : {"dir.kvl", "fifo.kvl"}) {
        const std::string path = (folder / odd).string(), good = (folder / "good.kvl").string();
        EXPECT_EQ(tool.run(sim.fixture, {"write", path}), 1) << odd;
        EXPECT_NE(tool.err.str().find("Błąd otwarcia pliku do odczytu"), std::string::npos) << odd;
        EXPECT_EQ(tool.run(sim.fixture, {"dump", path}), 1) << odd;
        EXPECT_EQ(tool.run(sim.fixture, {"diff", good, path}), 2) << odd;
        EXPECT_EQ(tool.run(sim.fixture, {"read", "-o", good, "--base", path}), 1) << odd;
    }
    EXPECT_TRUE(sim.module->journal().empty()) << "nothing reached the module";
}

// A peer that answers the handshake and then noise: the read fails with the step's
// message, and the file it would have replaced stays as it was.
TEST(ConfigCommand, AReadOfNoiseFailsAndKeepsTheOldFile) {
    const TempFolder temp;
    const fs::path& folder = temp.path;
    const std::string file = (folder / "module.kvl").string();
    SettingsImage old;
    old.setText(Field::Pin, "4321");
    const std::pair<const char*, const char*> cases[] = {{"SET?", "Błąd odczytu ustawień modułu"},
                                                         {"ECFG?", "Błąd odczytu ECFG"}};
    for (const auto& [query, status] : cases) {
        ASSERT_EQ(saveSettingsFile(file, old), FileResult::Ok);
        sim::ConfigSimOptions config;
        config.junkQueries = {query};
        SimWithConfig sim("Kavrel V3.6EL", config);
        Tool tool;
        EXPECT_EQ(tool.run(sim.fixture, {"read", "-o", file}), 1) << query;
        EXPECT_NE(tool.err.str().find(status), std::string::npos) << query << tool.err.str();
        SettingsImage kept;
        ASSERT_EQ(loadSettingsFile(file, kept), FileResult::Ok);
        EXPECT_EQ(kept, old) << query;
    }
}

namespace {

bool onlyQueries(const std::vector<std::string>& journal) {
    return std::all_of(journal.begin(), journal.end(), [](const std::string& line) { return line.ends_with('?'); });
}

} // namespace

TEST(ConfigCommand, WriteShowsTheChangesKeepsABackupAndListsIt) {
    const TempFolder temp;
    const fs::path& folder = temp.path;
    const fs::path backups = folder / "kopie";
    ::setenv(kBackupFolderVariable, backups.c_str(), 1);
    SimWithConfig sim("Kavrel V3.6EL");
    Tool tool;
    const std::string before = (folder / "before.kvl").string(), edited = (folder / "edited.kvl").string();
    ASSERT_EQ(tool.run(sim.fixture, {"read", "-o", before}), 0) << tool.err.str();
    SettingsImage image;
    ASSERT_EQ(loadSettingsFile(before, image), FileResult::Ok);
    image.setText(Field::Pin, "4321");
    image.setByte(Field::Hist2, static_cast<std::uint8_t>(image.byte(Field::Hist2) + 7));
    ASSERT_EQ(saveSettingsFile(edited, image), FileResult::Ok);
    const std::string hist2Before = std::to_string(image.byte(Field::Hist2) - 7);
    const std::string hist2After = std::to_string(image.byte(Field::Hist2));

    sim.module->clearJournal();
    EXPECT_EQ(tool.run(sim.fixture, {"write", edited, "--dry-run"}), 0) << tool.err.str();
    EXPECT_EQ(tool.out.str(), "Zmiany w ustawieniach modułu: 2\n"
                              "PIN (Ustawienia ogólne: PIN): \"1234\" -> \"4321\"\n"
                              "HIST2 (Linie wejściowe L1...L8: Próg nieczułości L5...L8 (mV)): " +
                                  hist2Before + " -> " + hist2After + "\n");
    EXPECT_TRUE(onlyQueries(sim.module->journal()));
    EXPECT_TRUE(listBackups(backups.string()).empty()) << "a dry run keeps no backup";

    EXPECT_EQ(tool.run(sim.fixture, {"write", edited, "--show-diff"}), 0) << tool.err.str();
    EXPECT_EQ(sim.module->value("PIN"), "4321");
    const auto stored = listBackups(backups.string());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(readWholeFile(stored[0].path), readWholeFile(before)) << "the backup is what config read gave";
    EXPECT_NE(tool.err.str().find("Kopia zapasowa: " + stored[0].path), std::string::npos);

    EXPECT_EQ(tool.run(sim.fixture, {"backups"}), 0);
    EXPECT_EQ(tool.out.str(), backupTimeText(stored[0].time) + "  Kavrel V3.6EL  127.0.0.1_" +
                                  std::to_string(sim.fixture.port()) + "  " + stored[0].path + "\n");

    // A backup folder that cannot be made stops the write before anything is sent.
    ::setenv(kBackupFolderVariable, (fs::path(before) / "kopie").c_str(), 1);
    sim.module->clearJournal();
    EXPECT_EQ(tool.run(sim.fixture, {"write", before, "--show-diff"}), 1);
    EXPECT_NE(tool.err.str().find("Nie udało się zapisać kopii zapasowej"), std::string::npos) << tool.err.str();
    EXPECT_TRUE(onlyQueries(sim.module->journal()));
    EXPECT_EQ(sim.module->value("PIN"), "4321");
    ::unsetenv(kBackupFolderVariable);
}

// Without a user folder a write has nowhere for its journal and backups: refused before the
// module is asked anything, as are the commands that look into that folder.
TEST(ConfigCommand, NoUserFolderRefusesWhatNeedsTheBackupFolder) {
    const TempFolder temp;
    const std::string file = (temp.path / "a.kvl").string();
    SimWithConfig sim("Kavrel V3.6EL");
    Tool tool;
    ::setenv(kBackupFolderVariable, (temp.path / "kopie").c_str(), 1);
    ASSERT_EQ(tool.run(sim.fixture, {"read", "-o", file}), 0) << tool.err.str();
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const std::string data = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::unsetenv("HOME");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv(kBackupFolderVariable);
    sim.module->clearJournal();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"write", file}, {"write", file, "--show-diff"}, {"resume"}, {"restore", file}, {"backups"}}) {
        EXPECT_EQ(tool.run(sim.fixture, args), 1) << args[0];
        EXPECT_EQ(tool.err.str(), "Nie wiadomo, gdzie przechowywać kopie zapasowe i dzienniki zapisu: zmienna HOME nie jest "
                                  "ustawiona (albo nie jest ścieżką bezwzględną). Ustaw ją albo KAVREL_BACKUP_DIR.\n");
    }
    EXPECT_TRUE(sim.module->journal().empty());
    EXPECT_EQ(tool.run(sim.fixture, {"write", file, "--dry-run"}), 0) << tool.err.str();
    if (!home.empty()) ::setenv("HOME", home.c_str(), 1);
    if (!data.empty()) ::setenv("XDG_DATA_HOME", data.c_str(), 1);
}
