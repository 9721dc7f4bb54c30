// `kavrel fleet serve --alarms` as a user runs it against simulated modules: a bad rule is
// refused with its line before any module hears a byte; a module that stops answering
// reaches a program given by --notify exec: once, with its labels, also across a `kill -9`
// of the service in its pending period; `fleet alarms` shows the alarm beside the events
// the module logged itself.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include "cli/run_kavrel.h"
#include "support/child_process.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using kavrel::testing::runKavrel;

namespace {

int count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

} // namespace

TEST(FleetAlarmCli, ABadRuleIsRefusedBeforeAnyModuleIsContacted) {
    const kavrel::testing::TempFolder folder;
    sim::SimOptions options;
    options.lineLog = std::make_shared<std::vector<std::string>>();
    kavrel::testing::SimFixture module(options);
    std::ofstream(folder.path / "fleet.txt") << "K1 127.0.0.1:" << module.port() << "\n";
    std::ofstream(folder.path / "rules.txt") << "cisza no-answer for 2m\n# ...\ngsm gsm < dziesięć\n";
    const auto run = runKavrel("fleet serve --hosts '" + (folder.path / "fleet.txt").string() + "' --db '" +
                                   (folder.path / "f.db").string() + "' --alarms '" + (folder.path / "rules.txt").string() +
                                   "' --duration 1",
                               "", folder.path);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("rules.txt:3: niepoprawna wartość \"dziesięć\""), std::string::npos) << run.err;
    EXPECT_TRUE(options.lineLog->empty());
}

TEST(FleetAlarmCli, ASilentModuleIsNotifiedOnceAcrossAKillAndShownInTheTimeline) {
    const kavrel::testing::TempFolder folder;
    sim::SimOptions answering;
    answering.memory.records = 40;
    kavrel::testing::SimFixture k1(answering), k2;
    const auto silentPort = kavrel::testing::closedPort();
    std::ofstream(folder.path / "fleet.txt") << "K1 127.0.0.1:" << k1.port() << " site=Ujęcie-3\nK2 127.0.0.1:" << k2.port()
                                             << "\nK3 127.0.0.1:" << silentPort << " site=Ujęcie-3 customer=Gmina\n";
    std::ofstream(folder.path / "rules.txt") << "cisza no-answer for 2s\nset group-wait 0s\n";
    const std::string db = (folder.path / "f.db").string();
    const std::string received = (folder.path / "received.txt").string();
    auto serve = [&](const std::string& seconds, const std::string& log, bool collect = false) {
        std::vector<std::string> args{KAVREL_CLI, "fleet", "serve", "--hosts", (folder.path / "fleet.txt").string(),
                                      "--db", db, "--interval", "0.2", "--duration", seconds, "--alarms",
                                      (folder.path / "rules.txt").string(), "--notify", "exec:cat >> '" + received + "'"};
        if (collect) args.insert(args.end(), {"--archives", (folder.path / "archives").string()});
        return kavrel::testing::startProcess(args, folder.path / log);
    };
    // Killed 1 s into K3's 2 s pending period, then started again.
    pid_t pid = serve("30", "first.txt");
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    kavrel::testing::endProcess(pid, SIGKILL);
    EXPECT_FALSE(std::filesystem::exists(received));
    pid = serve("2.5", "second.txt");
    int status = 0;
    ::waitpid(pid, &status, 0);
    const std::string sent = kavrel::testing::readWholeFile(received);
    EXPECT_EQ(count(sent, "\n"), 1) << sent << kavrel::testing::readWholeFile(folder.path / "first.txt")
                                     << kavrel::testing::readWholeFile(folder.path / "second.txt");
    EXPECT_NE(sent.find("\"module\":\"K3\",\"labels\":{\"site\":\"Ujęcie-3\",\"customer\":\"Gmina\"},\"rule\":\"cisza\","
                        "\"state\":\"problem\""),
              std::string::npos)
        << sent;
    EXPECT_NE(kavrel::testing::readWholeFile(folder.path / "second.txt").find("-> exec:cat"), std::string::npos);

    // A third run collects the modules' memories: their own events join the timeline.
    pid = serve("1.5", "third.txt", true);
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(count(kavrel::testing::readWholeFile(received), "\n"), 1) << "still silent: nothing new";

    const auto timeline = runKavrel("fleet alarms '" + db + "'", "", folder.path);
    EXPECT_EQ(timeline.exitCode, 0) << timeline.err;
    EXPECT_NE(timeline.out.find("K3  alarm: cisza: problem"), std::string::npos) << timeline.out;
    EXPECT_NE(timeline.out.find("K1  moduł: "), std::string::npos) << "the module's own events: " << timeline.out;
    const auto k3 = runKavrel("fleet alarms '" + db + "' --module K3 --since 1h --json", "", folder.path);
    EXPECT_EQ(k3.exitCode, 0) << k3.err;
    EXPECT_EQ(k3.out.find("\"module\":\"K1\""), std::string::npos) << k3.out;
    EXPECT_NE(k3.out.find("\"source\":\"alarm\",\"what\":\"cisza\",\"state\":\"problem\""), std::string::npos) << k3.out;
}

// A reading that swings across its threshold at every poll: a few changes, then one
// "flapping" and quiet, however long it goes on.
TEST(FleetAlarmCli, AnOscillatingReadingGoesQuietAsFlapping) {
    const kavrel::testing::TempFolder folder;
    sim::SimOptions swinging;
    swinging.monitor.oscillateLine = 3;
    swinging.monitor.oscillateLow = 40.0;
    swinging.monitor.oscillateHigh = 55.0;
    kavrel::testing::SimFixture k1(swinging);
    std::ofstream(folder.path / "fleet.txt") << "K1 127.0.0.1:" << k1.port() << "\n";
    std::ofstream(folder.path / "rules.txt") << "L3-wysoko L3 > 50.0 recover L3 < 45.0\nset group-wait 0s\n"
                                                "set flapping 3 in 1m\n";
    const std::string received = (folder.path / "received.txt").string();
    const auto run = runKavrel("fleet serve --hosts '" + (folder.path / "fleet.txt").string() + "' --db '" +
                                   (folder.path / "f.db").string() + "' --interval 0.25 --duration 2.5 --quiet --alarms '" +
                                   (folder.path / "rules.txt").string() + "' --notify 'exec:cat >> \"" + received + "\"'",
                               "", folder.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string sent = kavrel::testing::readWholeFile(received);
    // Problem, recovery, problem, then flapping at the fourth change; polls that end within
    // one evaluation step may fold some of the first three together, never the flapping.
    const int lines = count(sent, "\n");
    EXPECT_GE(lines, 2) << sent;
    EXPECT_LE(lines, 4) << sent;
    EXPECT_TRUE(sent.starts_with("{\"id\":1,")) << sent;
    EXPECT_NE(sent.find("\"state\":\"problem\""), std::string::npos) << sent;
    EXPECT_EQ(count(sent, "\"state\":\"flapping\""), 2) << sent;   // top level and in "alerts"
    const auto last = sent.rfind("\n", sent.size() - 2);
    EXPECT_NE(sent.find("\"state\":\"flapping\"", last == std::string::npos ? 0 : last), std::string::npos)
        << "nothing after the flapping: " << sent;
    EXPECT_NE(sent.find("\"values\":{\"L3\":\"55.0\"}"), std::string::npos) << sent;
}
