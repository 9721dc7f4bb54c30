// kavrel fleet as a user runs it: a bad fleet file is refused before any module hears a
// byte; Ctrl-C ends the poller with its rounds committed; the status table shows them.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "cli/run_kavrel.h"
#include "support/child_process.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using kavrel::testing::runKavrel;

TEST(FleetCli, ABadLineIsRefusedBeforeAnyModuleIsContacted) {
    const kavrel::testing::TempFolder folder;
    sim::SimOptions options;
    options.lineLog = std::make_shared<std::vector<std::string>>();
    kavrel::testing::SimFixture module(options);
    std::ofstream(folder.path / "fleet.txt") << "K1 127.0.0.1:" << module.port() << "\nK2 127.0.0.1:99999\n";
    const auto run = runKavrel("fleet poll --hosts '" + (folder.path / "fleet.txt").string() + "' --db '" +
                               (folder.path / "f.db").string() + "'", "", folder.path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("fleet.txt:2: port musi być z zakresu 1..65535"), std::string::npos) << run.err;
    EXPECT_TRUE(options.lineLog->empty());
    EXPECT_FALSE(std::filesystem::exists(folder.path / "f.db"));
}

TEST(FleetCli, CtrlCEndsCleanlyWithTheRoundsCommitted) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::SimFixture first, second;
    std::ofstream(folder.path / "fleet.txt") << "K1 127.0.0.1:" << first.port() << "\nK2 127.0.0.1:" << second.port() << "\n";
    const std::string db = (folder.path / "f.db").string();
    const std::string hosts = (folder.path / "fleet.txt").string();
    const std::string out = (folder.path / "out.txt").string();
    pid_t pid = kavrel::testing::startProcess(
        {KAVREL_CLI, "fleet", "poll", "--hosts", hosts, "--db", db, "--interval", "0.2"}, out, false);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(900));
    const int status = kavrel::testing::endProcess(pid, SIGINT);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(kavrel::testing::readWholeFile(out).find("runda 1: OK 2,"), std::string::npos);

    const auto shown = runKavrel("fleet status '" + db + "'", "", folder.path);
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_EQ(shown.out.substr(0, shown.out.find('\n')), "Moduł  Adres            Stan  Ostatni dobry odczyt  Próby  Błędy  Pominięte");
    const auto k1 = shown.out.find("\nK1     127.0.0.1:" + std::to_string(first.port()) + "  OK    20");
    ASSERT_NE(k1, std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("  0      0\n", k1), std::string::npos) << "no failures, no skips: " << shown.out;
    EXPECT_EQ(runKavrel("fleet status '" + (folder.path / "none.db").string() + "'", "", folder.path).exitCode, 1);
}
