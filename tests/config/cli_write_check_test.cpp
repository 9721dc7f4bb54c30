// kavrel config write of a file read from a module with another firmware: the fields sent
// differently are listed by key and nothing is sent without --yes, both ways between V2.0
// and V3.6. A module's own file goes back to it unasked, whatever values it holds, and a
// verified write teaches the file's firmware as a read does.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/commands.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config_sim.h"
#include "support/temp_folder.h"

using namespace kavrel;
using kavrel::testing::SimWithConfig;
using kavrel::testing::TempFolder;

namespace {

struct Tool {
    std::ostringstream out, err;
    int run(const SimWithConfig& sim, std::vector<std::string> args) {
        out.str("");
        err.str("");
        cli::TerminalObserver observer(err, false);
        cli::CliContext context{sim.fixture.tcp(), out, err, observer, {}};
        return cli::runConfig(context, args);
    }
};

} // namespace

TEST(ConfigWriteCheck, AFileFromAnotherFirmwareIsListedAndNeedsYes) {
    const TempFolder temp;
    ::setenv(config::kBackupFolderVariable, (temp.path / "kopie").c_str(), 1);
    const std::pair<const char*, const char*> directions[] = {{"Kavrel V2.0", "Kavrel V3.6EL"},
                                                              {"Kavrel V3.6EL", "Kavrel V2.0"}};
    for (const auto& [from, to] : directions) {
        SCOPED_TRACE(std::string(from) + " -> " + to);
        SimWithConfig source(from), target(to);
        Tool tool;
        const std::string file = (temp.path / (std::string(from) + ".kvl")).string();
        ASSERT_EQ(tool.run(source, {"read", "-o", file}), 0) << tool.err.str();

        EXPECT_EQ(tool.run(target, {"write", file}), 1);
        EXPECT_NE(tool.out.str().find(std::string("Plik odczytano z modułu ") + from), std::string::npos) << tool.out.str();
        for (const char* key : {"APN3", "EAD0", "ADEL1", "ECFG1", "NUM6", "WKD1"})
            EXPECT_NE(tool.out.str().find(key), std::string::npos) << key;
        EXPECT_NE(tool.err.str().find("--yes"), std::string::npos);
        EXPECT_TRUE(target.module->journal().empty()) << "nothing but the handshake was sent";

        EXPECT_EQ(tool.run(target, {"write", file, "--yes"}), 0) << tool.err.str();
        EXPECT_FALSE(target.module->journal().empty());
        // The module's own file has nothing to confirm.
        const std::string own = (temp.path / "own.kvl").string();
        ASSERT_EQ(tool.run(target, {"read", "-o", own}), 0);
        EXPECT_EQ(tool.run(target, {"write", own}), 0) << tool.out.str() << tool.err.str();
        EXPECT_EQ(tool.out.str(), "");
    }
    ::unsetenv(config::kBackupFolderVariable);
}

TEST(ConfigWriteCheck, AModulesOwnFileGoesBackWithItsOddValuesAsAWarning) {
    const TempFolder temp;
    ::setenv(config::kBackupFolderVariable, (temp.path / "kopie").c_str(), 1);
    // -32768 is a value the scaling dialog cannot enter, but the module holds and accepts it.
    sim::ConfigSimOptions odd;
    odd.seedLines = {"SCLB2=-32768"};
    SimWithConfig module("Kavrel V3.6EL", odd);
    Tool tool;
    const std::string file = (temp.path / "modul.kvl").string();
    ASSERT_EQ(tool.run(module, {"read", "-o", file}), 0) << tool.err.str();
    module.module->clearJournal();

    EXPECT_EQ(tool.run(module, {"write", file}), 0) << tool.out.str() << tool.err.str();
    EXPECT_NE(tool.err.str().find("SCLB2 = -32768 (dozwolone -32767..32767)"), std::string::npos) << tool.err.str();
    EXPECT_EQ(tool.err.str().find("--yes"), std::string::npos) << tool.err.str();
    EXPECT_EQ(tool.out.str(), "");
    EXPECT_FALSE(module.module->journal().empty());
    EXPECT_EQ(module.module->value("SCLB2"), "-32768");
    ::unsetenv(config::kBackupFolderVariable);
}

TEST(ConfigWriteCheck, AVerifiedWriteNotesTheFirmwareSoAnotherOneIsHeldBack) {
    const TempFolder temp;
    ::setenv(config::kBackupFolderVariable, (temp.path / "kopie").c_str(), 1);
    SimWithConfig older("Kavrel V2.0"), newer("Kavrel V3.6EL");
    Tool tool;
    // A file no read has seen (edited by hand): nothing is known of its firmware yet.
    const std::string read = (temp.path / "odczyt.kvl").string(), edited = (temp.path / "zmieniony.kvl").string();
    ASSERT_EQ(tool.run(older, {"read", "-o", read}), 0) << tool.err.str();
    config::SettingsImage image;
    ASSERT_EQ(config::loadSettingsFile(read, image), FileResult::Ok);
    image.setText(config::Field::Pin, "4321");
    ASSERT_EQ(config::saveSettingsFile(edited, image), FileResult::Ok);

    EXPECT_EQ(tool.run(older, {"write", edited}), 0) << tool.err.str();
    newer.module->clearJournal();
    EXPECT_EQ(tool.run(newer, {"write", edited}), 1);
    EXPECT_NE(tool.out.str().find("Plik odczytano z modułu Kavrel V2.0"), std::string::npos) << tool.out.str();
    EXPECT_NE(tool.err.str().find("--yes"), std::string::npos) << tool.err.str();
    EXPECT_TRUE(newer.module->journal().empty()) << "nothing but the handshake was sent";
    ::unsetenv(config::kBackupFolderVariable);
}
