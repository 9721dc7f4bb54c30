// kavrel as scripts and newcomers use it: its own version, options in either spelling,
// help after any word, JSON output, and failures that a script must see in the exit code.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/run_kavrel.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using kavrel::testing::runKavrel;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
using kavrel::testing::ToolRun;

std::string tcp(const SimFixture& sim) { return "--tcp 127.0.0.1:" + std::to_string(sim.port()) + " "; }

// (A test with a folder of its own hands it to every run: a run without one makes and
// removes a folder of the same name.)

// A settings file of zeros, as good as any for a write that stops before sending.
fs::path zeroSettings(const fs::path& folder) {
    const fs::path file = folder / "zera.kvl";
    std::ofstream(file, std::ios::binary) << std::string(3608, '\0');
    return file;
}

TEST(KavrelScripting, VersionOptionSpellingsAndHelpAfterAnyWord) {
    for (const char* option : {"--version", "-V"}) {
        const ToolRun run = runKavrel(option);
        EXPECT_EQ(run.exitCode, 0) << option;
        EXPECT_EQ(run.out, "kavrel 0.1.0\n") << option;
    }
    SimFixture sim;
    const ToolRun joined = runKavrel("--tcp=127.0.0.1:" + std::to_string(sim.port()) + " version");
    EXPECT_EQ(joined.exitCode, 0) << joined.err;
    EXPECT_EQ(joined.out, "Kavrel V3.6EL\nversionCode=0x36 E=1 L=1 variant=-\n");

    // The debug switch's older form shows every exchange on stderr; stdout stays the same.
    const ToolRun traced = runKavrel(tcp(sim) + "version", "KAVREL_TRACE=1");
    EXPECT_EQ(traced.out, joined.out);
    EXPECT_NE(traced.err.find(" > VER?\\r\n"), std::string::npos) << traced.err;
    EXPECT_NE(traced.err.find(" < OK\\r"), std::string::npos) << traced.err;

    const ToolRun late = runKavrel("version --tcp 127.0.0.1:" + std::to_string(sim.port()));
    EXPECT_EQ(late.exitCode, 2);
    EXPECT_NE(late.err.find("--tcp jest opcją połączenia: podaj ją przed poleceniem"), std::string::npos) << late.err;

    struct Help {
        const char* words;
        const char* usage;
    };
    for (const Help& help : {Help{"config read --help", "użycie: kavrel [POŁĄCZENIE] config read"},
                             Help{"config write x.kvl --dry-run --help", "config write PLIK.kvl"},
                             Help{"config backups -h", "config backups"}, Help{"logger status --help", "logger DZIAŁANIE"},
                             Help{"logger print --pdf=x.pdf --help", "logger DZIAŁANIE"},
                             Help{"monitor --count 3 --help", "monitor [--settings"}, Help{"ports --map --help", "kavrel ports"},
                             Help{"version --json --help", "version [--json]"}}) {
        const ToolRun run = runKavrel(help.words);
        EXPECT_EQ(run.exitCode, 0) << help.words << run.err;
        EXPECT_NE(run.out.find(help.usage), std::string::npos) << help.words << "\n" << run.out;
    }
}

// The tool speaks Polish: its help, its usage errors and its messages, never an English
// sentence between them. The English help is there for the English manual page.
TEST(KavrelScripting, TheToolsOwnTextsArePolishAndTheEnglishHelpMakesThePage) {
    for (const char* words : {"--help", "version --help", "ping --help", "monitor --help", "config --help",
                              "logger --help", "ports --help", "fleet --help"}) {
        const ToolRun polish = runKavrel(words);
        EXPECT_EQ(polish.exitCode, 0) << words;
        EXPECT_EQ(polish.out.rfind("użycie: kavrel", 0), 0u) << words << "\n" << polish.out;
        for (const char* english : {" the ", "usage", " and ", " with ", "Exit"})
            EXPECT_EQ(polish.out.find(english), std::string::npos) << words << ": " << english << "\n" << polish.out;
        const ToolRun english = runKavrel(words, "KAVREL_HELP_LANGUAGE=en");
        EXPECT_EQ(english.out.rfind("usage: kavrel", 0), 0u) << words << "\n" << english.out;
    }
    const ToolRun missing = runKavrel("config write");
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.err.rfind("kavrel config: write wymaga PLIK.kvl\nużycie: kavrel", 0), 0u) << missing.err;
    const ToolRun unknown = runKavrel("--speed 9600 version");
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err.rfind("kavrel: nieznana opcja --speed\nużycie: kavrel", 0), 0u) << unknown.err;
    const ToolRun count = runKavrel("ping --count 0");
    EXPECT_EQ(count.exitCode, 2);
    EXPECT_NE(count.err.find("kavrel ping: --count oczekuje liczby całkowitej od 1 do "), std::string::npos) << count.err;
}

// One JSON object a command, numbers as numbers; a mapped device with Polish letters is
// listed as it is named and as present.
TEST(KavrelScripting, JsonOutputsAndPolishDevicePaths) {
    kavrel::sim::SimOptions options;
    options.memory.records = 50;
    SimFixture sim(options);
    const ToolRun version = runKavrel(tcp(sim) + "version --json");
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, R"({"version":"Kavrel V3.6EL","versionCode":54,"e":true,"l":true,"variant":null})" "\n");

    const ToolRun status = runKavrel(tcp(sim) + "logger status --json");
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_EQ(status.out, R"({"version":"V3.6","storedRecords":50,"recordCapacity":1024,"fillPercent":4,)"
                          R"("loggingPeriodMinutes":15,"memoryHours":256,"clock":"2025-03-07 14:05:09",)"
                          R"("loggingEnabled":true,"cyclicBuffer":false,"extendedLines":true})" "\n");

    const TempFolder folder;
    const fs::path device = folder.path / "przejściówka-łódź";
    fs::create_symlink(sim.ptyPath(), device);
    const std::string environment = "KAVREL_COM7='" + device.string() + "'";
    EXPECT_EQ(runKavrel("--com 7 version", environment, folder.path).exitCode, 0);
    const ToolRun list = runKavrel("ports", environment, folder.path);
    EXPECT_NE(list.out.find(device.string() + "\tCOM7\t(przypisane urządzenie)\t"), std::string::npos) << list.out;
    const ToolRun json = runKavrel("ports --json", environment, folder.path);
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find(R"({"device":")" + device.string() +
                            R"x(","comNumbers":[7],"description":"(przypisane urządzenie)","manufacturer":null,)x"),
              std::string::npos)
        << json.out;
    EXPECT_EQ(json.out.rfind("{\"ports\":[", 0), 0u);
    EXPECT_EQ(json.out.find('\n'), json.out.size() - 1);
}

TEST(KavrelScripting, FailuresExitOne) {
    const TempFolder folder;
    const fs::path settings = zeroSettings(folder.path);

    // A dry run whose read of the module failed is no dry run that found nothing to change.
    kavrel::sim::SimOptions junk;
    junk.config.junkQueries = {"SET?"};
    SimFixture noise(junk);
    const ToolRun dry = runKavrel(tcp(noise) + "config write '" + settings.string() + "' --dry-run", "", folder.path);
    EXPECT_EQ(dry.exitCode, 1) << dry.err;
    EXPECT_NE(dry.err.find("Brak odpowiedzi"), std::string::npos) << dry.err;
    EXPECT_EQ(dry.out, "");

    // Output that never arrived is a failure, whatever the command.
    SimFixture sim;
    for (const std::string& words : {"config dump '" + settings.string() + "'", std::string("ports"), std::string("--help"),
                                    tcp(sim) + "config write '" + settings.string() + "' --dry-run"}) {
        const ToolRun full = runKavrel(words + " >/dev/full", "", folder.path);
        EXPECT_EQ(full.exitCode, 1) << words;
        EXPECT_NE(full.err.find("kavrel: nie można pisać na standardowe wyjście"), std::string::npos)
            << words << ": " << full.err;
    }

    // A backup folder that is a file cannot be listed.
    const ToolRun backups = runKavrel("config backups", "KAVREL_BACKUP_DIR='" + settings.string() + "'", folder.path);
    EXPECT_EQ(backups.exitCode, 1);
    EXPECT_NE(backups.err.find("Nie można odczytać folderu kopii zapasowych " + settings.string()), std::string::npos)
        << backups.err;
}

// A module whose version text is very long still gets its backups, each under its own name.
TEST(KavrelScripting, AReviewedWriteToAModuleWithALongVersionKeepsItsBackups) {
    const TempFolder folder;
    const fs::path settings = folder.path / "modul.kvl";
    kavrel::sim::SimOptions options;
    options.versionText = "Kavrel V3.6EL " + std::string(230, 'x');
    SimFixture sim(options);
    ASSERT_EQ(runKavrel(tcp(sim) + "config read -o '" + settings.string() + "'", "", folder.path).exitCode, 0);
    const std::string environment = "KAVREL_BACKUP_DIR='" + (folder.path / "kopie").string() + "'";
    for (int write = 0; write < 2; ++write) {
        const ToolRun run = runKavrel(tcp(sim) + "config write '" + settings.string() + "' --show-diff", environment, folder.path);
        EXPECT_EQ(run.exitCode, 0) << run.err;
    }
    const ToolRun list = runKavrel("config backups", environment, folder.path);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    std::size_t names = 0;
    for (const auto& entry : fs::directory_iterator(folder.path / "kopie")) {
        if (!entry.is_regular_file()) continue;  // the version notes of the backups
        if (entry.path().filename() == "historia.jsonl") continue;  // the history of the writes
        ++names;
        EXPECT_LT(entry.path().filename().string().size(), 120u) << entry.path();
        EXPECT_NE(list.out.find(entry.path().string()), std::string::npos) << list.out;
    }
    EXPECT_EQ(names, 2u);
}

} // namespace
