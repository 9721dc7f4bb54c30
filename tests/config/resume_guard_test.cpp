// What `config resume` and `config restore` send after a cut write: nothing into another
// module (same firmware, its own settings) that answers at the same address later without
// --yes, its settings kept as a backup first; and from a journal, only the lines of the
// record it names, never lines edited into it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "sim/module_configuration.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::config;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
namespace fs = std::filesystem;

namespace {

struct Module {
    Module(int port, int cutAt, std::vector<std::string> seed)
        : config(std::make_shared<sim::ModuleConfiguration>()),
          fixture(sim::SimOptions{.faults = {.cutAtWriteCommand = cutAt},
                                  .config = {.seedLines = std::move(seed), .module = config}},
                  port) {}
    std::shared_ptr<sim::ModuleConfiguration> config;
    SimFixture fixture;
};

// A module on `port` that logs every line it receives.
struct ListeningModule {
    explicit ListeningModule(int port)
        : lines(std::make_shared<std::vector<std::string>>()), fixture(sim::SimOptions{.lineLog = lines}, port) {}
    std::shared_ptr<std::vector<std::string>> lines;
    SimFixture fixture;
};

class ResumeGuard : public ::testing::Test {
protected:
    void SetUp() override { ::setenv(kBackupFolderVariable, (temp.path / "kopie").c_str(), 1); }
    void TearDown() override { ::unsetenv(kBackupFolderVariable); }

    int run(int port, std::vector<std::string> args) {
        out.str("");
        err.str("");
        cli::TerminalObserver observer(err, false);
        cli::CliContext context{link::Connection::tcp("127.0.0.1", static_cast<std::uint32_t>(port)), out, err,
                                observer, {}};
        return cli::runConfig(context, args);
    }
    // Module A is written a new PIN and SMS text with a backup, and the link is cut at
    // command 45; A goes away and module C answers on its port.
    int cutWriteToModuleA(bool backup) {
        std::optional<Module> a(std::in_place, 0, 45, std::vector<std::string>{"SMS0=Modul A"});
        const int port = a->fixture.port();
        const std::string first = (temp.path / "a.kvl").string(), target = (temp.path / "b.kvl").string();
        EXPECT_EQ(run(port, {"read", "-o", first}), 0) << err.str();
        SettingsImage image;
        EXPECT_EQ(loadSettingsFile(first, image), FileResult::Ok);
        image.setText(Field::Pin, "4321");
        image.setText(Field::Sms, 0, "Zapis B");
        EXPECT_EQ(saveSettingsFile(target, image), FileResult::Ok);
        std::vector<std::string> write{"write", target};
        if (backup) write.push_back("--backup");
        EXPECT_EQ(run(port, write), 1);
        EXPECT_EQ(a->config->value("PIN"), "4321");   // acknowledged before the cut
        return port;
    }
    std::size_t backups() {
        std::error_code problem;
        return listBackups((temp.path / "kopie").string(), &problem).size();
    }

    TempFolder temp;
    std::ostringstream out, err;
};

TEST_F(ResumeGuard, ResumeAndRestoreWriteNothingIntoAnotherModuleWithoutYes) {
    for (const bool restore : {false, true}) {
        SCOPED_TRACE(restore ? "restore" : "resume");
        const int port = cutWriteToModuleA(restore);
        Module c(port, 0, {"SMS0=Modul C", "PIN=9999"});
        const std::size_t backupsBefore = backups();
        c.config->clearJournal();

        EXPECT_EQ(run(port, {restore ? "restore" : "resume"}), 1);
        EXPECT_NE(err.str().find("to może być inny moduł"), std::string::npos) << err.str();
        EXPECT_NE(err.str().find("--yes"), std::string::npos) << err.str();
        EXPECT_EQ(err.str().find("weryfikacja OK"), std::string::npos) << err.str();
        for (const std::string& line : c.config->journal()) EXPECT_EQ(line.find('='), std::string::npos) << line;
        EXPECT_EQ(c.config->value("SMS0"), "Modul C");
        EXPECT_EQ(c.config->value("PIN"), "9999");
        ASSERT_EQ(backups(), backupsBefore + 1);   // C's own settings, kept before the question

        // Told to, it writes the whole record (none of the first write's lines is in C),
        // and the journal is done with.
        EXPECT_EQ(run(port, {restore ? "restore" : "resume", "--yes"}), 0) << err.str();
        EXPECT_NE(err.str().find("weryfikacja OK"), std::string::npos);
        EXPECT_EQ(c.config->value("SMS0"), restore ? "Modul A" : "Zapis B");
        EXPECT_EQ(run(port, {"status"}), 0);
    }
}

// A backup read from a module of another firmware is looked at as any file is before it is
// sent: the elements sent differently are listed and nothing is written without --yes.
TEST_F(ResumeGuard, ABackupFromAnotherFirmwareIsRestoredOnlyWhenConfirmed) {
    const std::string old = (temp.path / "v20.kvl").string();
    {
        auto config = std::make_shared<sim::ModuleConfiguration>();
        SimFixture v20(sim::SimOptions{.versionText = "Kavrel V2.0", .config = {.seedLines = {"SMS0=Stary"}, .module = config}});
        ASSERT_EQ(run(v20.port(), {"read", "-o", old}), 0) << err.str();
    }
    Module now(0, 0, {"SMS0=Nowy"});
    now.config->clearJournal();
    EXPECT_EQ(run(now.fixture.port(), {"restore", old}), 1);
    EXPECT_NE(out.str().find("APN3"), std::string::npos) << out.str();
    EXPECT_NE(err.str().find("Nic nie wysłano: potwierdź zapis opcją --yes."), std::string::npos) << err.str();
    for (const std::string& line : now.config->journal()) EXPECT_EQ(line.find('='), std::string::npos) << line;
    EXPECT_EQ(now.config->value("SMS0"), "Nowy");

    EXPECT_EQ(run(now.fixture.port(), {"restore", old, "--yes"}), 0) << err.str();
    EXPECT_EQ(now.config->value("SMS0"), "Stary");
}

// The journal's lines are no part of what its hash guards: a CR escaped into a line not yet
// acknowledged, or a service command added, would be sent as they stand.
TEST_F(ResumeGuard, AJournalWhoseLinesAreNotItsRecordsIsRefusedBeforeAnythingIsSent) {
    const struct {
        const char* what;
        std::string (*edit)(std::string);
    } edits[] = {
        {"a CR inside a line", [](std::string text) {
             const auto at = text.find("\n- ");
             const auto end = text.find('\n', at + 1);
             return text.replace(at + 3, end - at - 3, "SMS0=x%0DERS!");
         }},
        {"a line added", [](std::string text) { return text + "- *CLR=1,0\n"; }},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.what);
        const int port = cutWriteToModuleA(false);
        fs::path journal;
        for (const auto& entry : fs::directory_iterator(temp.path / "kopie"))
            if (entry.path().extension() == ".zapis") journal = entry.path();
        ASSERT_FALSE(journal.empty());
        std::string text;
        {
            std::ifstream in(journal, std::ios::binary);
            text.assign(std::istreambuf_iterator<char>(in), {});
        }
        std::ofstream(journal, std::ios::binary | std::ios::trunc) << edit.edit(text);

        ListeningModule module(port);
        EXPECT_EQ(run(port, {"resume", "--yes"}), 1);
        EXPECT_NE(err.str().find("nie są liniami jego ustawień"), std::string::npos) << err.str();
        EXPECT_TRUE(module.lines->empty()) << module.lines->front();
        fs::remove(journal);
    }
}

} // namespace
