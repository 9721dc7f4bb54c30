#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <sstream>

#include "cli/commands.h"
#include "cli/logger_archive.h"
#include "support/file_contents.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

namespace kavrel::cli {
namespace {

namespace fs = std::filesystem;

using kavrel::testing::readWholeFile;

// kavrel --tcp 127.0.0.1:PORT logger ARGS... against an in-process simulator.
struct LoggerCli {
    explicit LoggerCli(sim::SimOptions options) : sim(std::move(options)) {}

    int run(std::vector<std::string> args) {
        out.str("");
        err.str("");
        TerminalObserver observer(err, false);
        CliContext context{sim.tcp(), out, err, observer, {}};
        return runLogger(context, args);
    }

    testing::SimFixture sim;
    const testing::TempFolder temp;
    const fs::path& folder = temp.path;
    std::ostringstream out, err;
};

sim::SimOptions memory(int records) {
    sim::SimOptions options;
    options.memory.records = records;
    return options;
}

TEST(KavrelLogger, DownloadWritesTheCsvAndHtmlNamedByTheExportRules) {
    LoggerCli cli(memory(30));
    const fs::path name = cli.folder / "Wyniki.CSV";
    ASSERT_EQ(cli.run({"download", "-o", name.string()}), kExitOk) << cli.err.str();
    EXPECT_EQ(cli.out.str(), name.string() + "\n" + (cli.folder / "wyniki.html").string() + "\n");
    const std::string csv = readWholeFile(name);
    EXPECT_EQ(csv.substr(0, 12), "Lp;Czas RTC;");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 14);  // the header and 14 measurements
    const std::string html = readWholeFile(cli.folder / "wyniki.html");
    EXPECT_TRUE(html.ends_with("</TABLE>\r\n</BODY>\r\n</HTML>\r\n"));
    EXPECT_NE(cli.err.str().find("Zawartość pamięci odczytana."), std::string::npos);
    EXPECT_NE(cli.err.str().find("Przesłano 30 rekordów"), std::string::npos);
}

TEST(KavrelLogger, AFailedDownloadLeavesWhatWasWrittenAndFails) {
    sim::SimOptions options = memory(30);
    options.memory.faults.wrongType = {14, -1};
    LoggerCli cli(options);
    const fs::path name = cli.folder / "log";
    EXPECT_EQ(cli.run({"download", "-o", name.string(), "--comma"}), kExitFailure);
    EXPECT_NE(cli.err.str().find("Błędny format odebranych danych!"), std::string::npos);
    EXPECT_TRUE(readWholeFile(cli.folder / "log.csv").starts_with("Lp,Czas RTC,"));
    const std::string html = readWholeFile(cli.folder / "log.html");
    EXPECT_NE(html.find("START programu"), std::string::npos);
    EXPECT_EQ(html.find("</HTML>"), std::string::npos);
}

// A file system takes names of up to 255 bytes: a base name whose final files fit
// (NAME.html of 255 bytes at the most) must not fail on the temporaries beside them.
TEST(KavrelLogger, DownloadsUnderBaseNamesNearTheNameLimit) {
    LoggerCli cli(memory(12));
    for (const std::size_t length : {240u, 246u, 250u}) {
        const fs::path name = cli.folder / std::string(length, 'n');
        ASSERT_EQ(cli.run({"download", "-o", name.string()}), kExitOk) << length << ": " << cli.err.str();
        EXPECT_TRUE(readWholeFile(cli.folder / (std::string(length, 'n') + ".html")).ends_with("</HTML>\r\n"));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(cli.folder), fs::directory_iterator()), 6) << "no temporary left";
}

TEST(KavrelLogger, AnEmptyMemoryHasNothingToDownload) {
    LoggerCli cli(memory(0));
    EXPECT_EQ(cli.run({"download", "-o", (cli.folder / "x").string()}), kExitFailure);
    EXPECT_NE(cli.err.str().find("Brak danych do odczytania z modułu"), std::string::npos);
    EXPECT_FALSE(fs::exists(cli.folder / "x.csv"));
}

TEST(KavrelLogger, StatusClearAndSetPeriod) {
    LoggerCli cli(memory(120));
    ASSERT_EQ(cli.run({"status"}), kExitOk);
    EXPECT_NE(cli.out.str().find("Liczba rekordów w pamięci: 120\n"), std::string::npos);
    EXPECT_NE(cli.out.str().find("Ustawienie zegara: 2025-03-07 14:05:09\n"), std::string::npos);

    ASSERT_EQ(cli.run({"clear", "--yes"}), kExitOk);
    ASSERT_EQ(cli.run({"set-period", "30"}), kExitOk);
    EXPECT_NE(cli.out.str().find("Liczba rekordów w pamięci: 0\n"), std::string::npos);
    EXPECT_NE(cli.out.str().find("Okres logowania [min]: 30\n"), std::string::npos);
}

TEST(KavrelLogger, ArchiveUpdateReportsHolesWithExitThreeAndClearsOnlyWhatItHolds) {
    sim::SimOptions options = memory(160);
    options.memory.cyclic = true;
    options.memory.pendingRecords = std::make_shared<std::atomic<int>>(0);
    LoggerCli cli(options);
    const std::string db = (cli.folder / "a.db").string();
    ASSERT_EQ(cli.run({"archive", "update", db, "--name", "Stacja"}), kExitOk) << cli.err.str();
    EXPECT_TRUE(cli.out.str().starts_with("Pobrano 160 rekordów w ")) << cli.out.str();

    *options.memory.pendingRecords = 400;   // more than the memory holds: some never archived
    ASSERT_EQ(cli.run({"archive", "update", db, "--name", "Stacja"}), kExitHoles) << cli.err.str();
    EXPECT_NE(cli.out.str().find("Utracone rekordy: "), std::string::npos) << cli.out.str();
    ASSERT_EQ(cli.run({"archive", "status", db}), kExitOk);
    EXPECT_NE(cli.out.str().find("Moduł: Stacja (V3.6, pamięć 16x11, rekord 37 B)"), std::string::npos) << cli.out.str();
    EXPECT_NE(cli.out.str().find("    Utracone rekordy: "), std::string::npos) << cli.out.str();

    ASSERT_EQ(cli.run({"archive", "export", db, "-o", (cli.folder / "eksport").string(), "--from", "2025-03-07"}), kExitOk)
        << cli.err.str();
    EXPECT_TRUE(readWholeFile(cli.folder / "eksport.csv").starts_with("Lp;Czas RTC;"));
    EXPECT_EQ(cli.run({"archive", "export", db, "-o", "x", "--from", "7.3.2025"}), kExitUsage);
    EXPECT_EQ(cli.run({"archive", "export", (cli.folder / "brak.db").string(), "-o", "x"}), kExitFailure);
    EXPECT_FALSE(fs::exists(cli.folder / "brak.db"));

    // The clear's own update finds records lost again: cleared, and the holes told as the update tells them.
    *options.memory.pendingRecords = 700;
    ASSERT_EQ(cli.run({"clear", "--archived", db, "--name", "Stacja", "--yes"}), kExitHoles) << cli.err.str();
    EXPECT_NE(cli.out.str().find("Utracone rekordy: "), std::string::npos) << cli.out.str();
    EXPECT_NE(cli.err.str().find("Zawartość pamięci skasowana."), std::string::npos) << cli.err.str();
}

TEST(KavrelLogger, RefusesBadArguments) {
    LoggerCli cli(memory(1));
    EXPECT_EQ(cli.run({"set-period", "256"}), kExitUsage);
    EXPECT_EQ(cli.run({"download"}), kExitUsage);
    EXPECT_EQ(cli.run({"erase"}), kExitUsage);
    EXPECT_EQ(cli.run({"status", "--clock"}), kExitUsage);
}

} // namespace
} // namespace kavrel::cli
