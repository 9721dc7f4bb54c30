// kavrel monitor against the simulated module: the polling run, its CSV log and its
// printed lines, with the real wait between ticks set to nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/commands.h"
#include "common/win1250.h"
#include "monitor/monitor_settings.h"
#include "support/file_contents.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::cli;
using kavrel::testing::readWholeFile;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;

namespace {

class MonitorCommandTest : public ::testing::Test {
protected:
    int run(SimFixture& sim, std::vector<std::string> args) {
        CliContext context{sim.tcp(), out, err, observer, {}};
        return runMonitor(context, args);
    }
    std::vector<std::string> lines(const std::string& text, const std::string& end) const {
        std::vector<std::string> result;
        for (std::size_t at = 0, stop; (stop = text.find(end, at)) != std::string::npos; at = stop + end.size())
            result.push_back(text.substr(at, stop - at));
        return result;
    }

    const TempFolder folder;
    const std::filesystem::path& dir = folder.path;
    std::ostringstream out, err;
    TerminalObserver observer{err, false};
};

} // namespace

TEST_F(MonitorCommandTest, TwentyFivePollsWithAOneMinutePeriodWriteRows1_13_25) {
    SimFixture sim;
    monitor::MonitorSettings settings;
    settings.recordPeriod = 1;
    ASSERT_EQ(monitor::saveMonitorSettings(dir / "okres1.cfg", settings), FileResult::Ok);
    const auto csv = dir / "log.csv";
    ASSERT_EQ(run(sim, {"--settings", (dir / "okres1.cfg").string(), "--csv", csv.string(), "--count", "25",
                        "--interval-ms", "0"}),
              kExitOk)
        << err.str();

    const auto rows = lines(readWholeFile(csv), "\r\n");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].substr(0, 21), "Lp;Czas;Linia L1 [V];");
    for (int row = 1; row <= 3; ++row) {
        EXPECT_EQ(rows[row].substr(0, 3), std::to_string(row) + " ;");
        EXPECT_EQ(std::count(rows[row].begin(), rows[row].end(), ';'), 30);
    }

    const auto printed = lines(out.str(), "\n");
    ASSERT_EQ(printed.size(), 26u);
    EXPECT_EQ(printed[0], "Wersja: Kavrel V3.6EL");
    EXPECT_EQ(printed[1].substr(0, 16), "#1 1/1 | 11.95V ");
    EXPECT_EQ(printed[13].substr(0, 10), "#13 2/13 |");
    EXPECT_EQ(printed[25].substr(0, 10), "#25 3/25 |");
    EXPECT_NE(printed[1].find("| XL 18.4°C "), std::string::npos);
    EXPECT_NE(err.str().find("Odpowiedzi: 25, wiersze zapisu: 3"), std::string::npos);

    // The period can also be given on the command line; the default is the settings' 5 minutes.
    out.str("");
    ASSERT_EQ(run(sim, {"--csv", (dir / "b.csv").string(), "--count", "13", "--interval-ms", "0", "--period", "1"}),
              kExitOk);
    EXPECT_EQ(lines(readWholeFile(dir / "b.csv"), "\r\n").size(), 3u);
    ASSERT_EQ(run(sim, {"--csv", (dir / "c.csv").string(), "--count", "13", "--interval-ms", "0"}), kExitOk);
    EXPECT_EQ(lines(readWholeFile(dir / "c.csv"), "\r\n").size(), 2u);
}

TEST_F(MonitorCommandTest, AModuleThatNeverAnswersAMeasurementFailsTheRun) {
    sim::SimOptions options;
    options.monitor.wrongReply = true;
    SimFixture sim(options);
    EXPECT_EQ(run(sim, {"--csv", (dir / "x.csv").string(), "--count", "2", "--interval-ms", "0"}), kExitFailure);
    const auto printed = lines(out.str(), "\n");
    ASSERT_EQ(printed.size(), 3u);
    EXPECT_EQ(printed[1], "#1 0/1 | brak odpowiedzi");
    EXPECT_EQ(lines(readWholeFile(dir / "x.csv"), "\r\n").size(), 1u);   // the header only
}

TEST_F(MonitorCommandTest, BadArgumentsAndSettingsFiles) {
    SimFixture sim;
    EXPECT_EQ(run(sim, {"--count", "0"}), kExitUsage);
    EXPECT_EQ(run(sim, {"--interval-ms", "-1"}), kExitUsage);
    EXPECT_EQ(run(sim, {"--period", "65536"}), kExitUsage);
    EXPECT_EQ(run(sim, {"--csv"}), kExitUsage);
    EXPECT_EQ(run(sim, {"teraz"}), kExitUsage);

    EXPECT_EQ(run(sim, {"--settings", (dir / "brak.cfg").string()}), kExitFailure);
    EXPECT_NE(err.str().find("Błąd otwarcia pliku do odczytu ustawień"), std::string::npos);
    std::ofstream(dir / "obcy.cfg") << "NIE-TEN-PLIK";
    EXPECT_EQ(run(sim, {"--settings", (dir / "obcy.cfg").string()}), kExitFailure);
    EXPECT_NE(err.str().find("Niepoprawny format pliku z ustawieniami"), std::string::npos);
    EXPECT_TRUE(out.str().empty());
}

// A settings file names its results file, but the command line writes it only as a plain
// name in the working folder (and says so); a path, a parent or a drive in it is refused
// before the module is asked anything, unless --csv names the log.
TEST_F(MonitorCommandTest, TheSettingsFileNamesOnlyAFileInTheWorkingFolder) {
    SimFixture sim;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::create_directory(dir / "praca");
    std::filesystem::current_path(dir / "praca");
    const auto settingsNaming = [&](const std::string& results) {
        monitor::MonitorSettings settings;
        settings.resultsFile = results;
        const std::string file = (dir / "ustawienia.cfg").string();
        EXPECT_EQ(monitor::saveMonitorSettings(file, settings), FileResult::Ok);
        return file;
    };
    // (the file holds 63 bytes of the name: an absolute one is kept short)
    for (const std::string& results : {std::string("/tmp/kavrel-gdzie.csv"), std::string("../wyżej.csv"), std::string("C:x.csv")}) {
        err.str("");
        const std::string file = settingsNaming(cp1250::fromUtf8(results));
        EXPECT_EQ(run(sim, {"--settings", file, "--count", "1", "--interval-ms", "0"}), kExitFailure) << results;
        EXPECT_EQ(err.str(), "kavrel monitor: plik ustawień " + file + " wskazuje dziennik „" + results +
                                 "”, który nie jest zwykłą nazwą pliku w folderze roboczym; podaj dziennik opcją --csv PLIK.\n");
        EXPECT_EQ(run(sim, {"--settings", file, "--csv", (dir / "wybrany.csv").string(), "--count", "1", "--interval-ms", "0"}),
                  kExitOk);
    }
    EXPECT_TRUE(out.str().find("Wersja") != std::string::npos);
    EXPECT_FALSE(std::filesystem::exists("/tmp/kavrel-gdzie.csv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "wyżej.csv"));

    err.str("");
    const std::string file = settingsNaming(cp1250::fromUtf8("wyniki ł.csv"));
    EXPECT_EQ(run(sim, {"--settings", file, "--count", "1", "--interval-ms", "0"}), kExitOk) << err.str();
    EXPECT_NE(err.str().find("Dziennik CSV: wyniki ł.csv w folderze roboczym (z pliku ustawień " + file + ")\n"),
              std::string::npos) << err.str();
    EXPECT_TRUE(std::filesystem::exists(dir / "praca" / "wyniki ł.csv"));
    std::filesystem::current_path(before);
}
