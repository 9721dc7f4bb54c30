// kavrel config write of a file read from a module with another firmware: the fields sent
// differently are listed by key and nothing is sent without --yes, both ways between V2.0
// and V3.6.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "cli/commands.h"
#include "config/model/backup_store.h"
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
