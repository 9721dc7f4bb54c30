// kavrel config against the simulated module: read, edit, write with verification and
// service actions, read again, and the files compared field by field.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "common/win1250.h"
#include "config/model/settings_file.h"
#include "config_sim.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::SimWithConfig;
namespace fs = std::filesystem;

namespace {

struct Tool {
    std::ostringstream out, err;
    int run(const kavrel::testing::SimFixture& sim, std::vector<std::string> args) {
        out.str("");
        err.str("");
        cli::TerminalObserver observer(err, false);
        cli::CliContext context{{.tcp = true, .address = "127.0.0.1", .tcpPort = sim.port()}, out, err, observer, {}};
        return cli::runConfig(context, args);
    }
};

} // namespace

TEST(ConfigCommand, ReadEditWriteAndReadBackForEachVersion) {
    const fs::path folder = fs::temp_directory_path() / ("kavrel-cli-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::pair<const char*, int> versions[] = {{"Kavrel V1.9", 0x19},  {"Kavrel V2.0", 0x20},
                                                    {"Kavrel V2.0E", 0x20}, {"Kavrel V2.5", 0x25},
                                                    {"Kavrel V2.7E", 0x27}, {"Kavrel V3.6EL", 0x36}};
    for (const auto& [version, code] : versions) {
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
    fs::remove_all(folder);
}

TEST(ConfigCommand, WriteThroughAVersionReplyInPiecesSendsEveryLine) {
    const fs::path file = fs::temp_directory_path() / ("kavrel-cli-split-" + std::to_string(::getpid()) + ".kvl");
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
    fs::remove(file);
}

TEST(ConfigCommand, DumpDiffAndBadInput) {
    const fs::path folder = fs::temp_directory_path() / ("kavrel-cli-dump-" + std::to_string(::getpid()));
    fs::create_directories(folder);
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
    fs::remove_all(folder);
}
