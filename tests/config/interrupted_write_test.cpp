// A write cut part-way, over loopback TCP and a pseudo-terminal that hangs up: at twenty
// cut points across the whole V3.6EL sequence (every kind of line among them), `kavrel
// config resume` brings the module to the target and `kavrel config restore` back to the
// backup, and no cut run reports success. Over the pseudo-terminal every reply waits for
// the serial settle time, so that case takes a minute or more (CTest label "cut-points").
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "cli/commands.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/model/write_journal.h"
#include "config/protocol/command_lines.h"
#include "config_sim.h"
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
                                  .config = {.module = config}}) {
        fixture.linkPty(ptyLink.string());
    }
    std::shared_ptr<sim::ModuleConfiguration> config;
    kavrel::testing::SimFixture fixture;
};

// The link's own file: the simulator replaces it when a new pseudo-terminal takes the place
// of one that hung up.
ino_t linkIdentity(const fs::path& link) {
    struct stat status {};
    return ::lstat(link.c_str(), &status) == 0 ? status.st_ino : 0;
}

// A cut pseudo-terminal comes back as a new one, as a re-plugged adapter does: a moment
// later. A resume started before that finds no port, as it would in the field.
void waitForNewPty(const fs::path& link, ino_t old) {
    for (int i = 0; i < 3000 && linkIdentity(link) == old; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Every value the module holds, defaults included, by key.
std::map<std::string, std::string> held(const sim::ModuleConfiguration& module, const std::set<std::string>& keys) {
    std::map<std::string, std::string> values;
    for (const auto& key : keys) values[key] = module.value(key);
    return values;
}

// The keys whose values differ, "KEY: a / b" each, for a failure's message.
std::string differences(const std::map<std::string, std::string>& a, const std::map<std::string, std::string>& b) {
    std::string text;
    for (const auto& [key, value] : a)
        if (b.at(key) != value) text += key + ": " + value + " / " + b.at(key) + "\n";
    return text;
}

struct Tool {
    std::ostringstream out, err;
    int run(const CutModule& module, Transport transport, const fs::path& ptyLink, std::vector<std::string> args) {
        out.str("");
        err.str("");
        cli::TerminalObserver observer(err, false);
        const link::Connection connection = transport == Transport::Tcp ? module.fixture.tcp()
                                                                        : link::Connection::serialDevice(ptyLink.string(), 4);
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

// Twenty cut points: the first and the last line, the first line of each kind ("HALT!",
// a text with its second try, a line of the extension, a list, several assignments, a
// single one), then more spread evenly over the sequence.
std::vector<int> cutPoints(const std::vector<WriteStep>& steps) {
    auto kindOf = [](const WriteStep& step) {
        if (step.halt) return 0;
        if (step.secondTry) return 1;
        if (step.line.rfind("XMS", 0) == 0 || step.line.rfind("XCFG", 0) == 0) return 2;
        if (step.line.find(',') != std::string::npos) return 3;
        return step.line.find(' ') != std::string::npos ? 4 : 5;
    };
    std::set<int> points{1, static_cast<int>(steps.size())};
    std::set<int> kinds;
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (kinds.insert(kindOf(steps[i])).second) points.insert(static_cast<int>(i) + 1);
    for (std::size_t i = 3; points.size() < 20; i += 5) points.insert(static_cast<int>(i * 7 % steps.size()) + 1);
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
        ASSERT_EQ(loadSettingsFile(firstFile, first), FileResult::Ok);
        const SettingsImage target = targetFrom(first);
        ASSERT_EQ(saveSettingsFile(targetFile, target), FileResult::Ok);
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
            // Only a restore needs the backup; a resume is tested after a plain write.
            std::vector<std::string> write{"write", targetFile};
            if (restore) write.push_back("--backup");
            const ino_t pty = linkIdentity(ptyLink);
            EXPECT_EQ(tool.run(module, transport, ptyLink, write), 1);
            if (transport == Transport::Pty) waitForNewPty(ptyLink, pty);
            EXPECT_EQ(tool.err.str().find("weryfikacja OK"), std::string::npos) << "a cut write reports success";
            EXPECT_EQ(tool.run(module, transport, ptyLink, {"status"}), 1) << tool.out.str();
            if (!restore) {
                ASSERT_EQ(tool.run(module, transport, ptyLink, {"resume"}), 0) << tool.err.str();
                EXPECT_EQ(differences(held(*module.config, keys), after), "");
            } else {
                ASSERT_EQ(tool.run(module, transport, ptyLink, {"restore"}), 0) << tool.err.str();
                EXPECT_EQ(differences(held(*module.config, keys), before), "");
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

} // namespace
