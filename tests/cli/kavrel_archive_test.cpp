// kavrel logger archive as a user runs it: a real process killed with SIGKILL at random
// points of its update, run again until it completes, must leave an archive whose export is
// byte for byte the files of one uncut download.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "run_kavrel.h"
#include "support/sim_fixture.h"

extern char** environ;

namespace kavrel::testing {
namespace {

namespace fs = std::filesystem;

// Starts the tool; returns its process id.
pid_t spawnKavrel(const std::vector<std::string>& args, const fs::path& folder) {
    std::vector<std::string> words{KAVREL_CLI};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    const std::string config = "XDG_CONFIG_HOME=" + (folder / "config").string();
    std::vector<std::string> env{config};
    for (char** e = environ; *e; ++e)
        if (std::string_view(*e).rfind("XDG_CONFIG_HOME=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The files with the line of the generation time left out (it is the time of each run).
std::string withoutGenerationTime(std::string html) {
    const auto at = html.find("wygenerowany: ");
    if (at != std::string::npos) html.erase(at, html.find(')', at) - at);
    return html;
}

TEST(KavrelLoggerArchive, UpdatesKilledAtRandomBatchesEndAsOneUncutDownload) {
    sim::SimOptions options;
    options.memory.records = 1500;
    SimFixture sim(options);
    const TempFolder temp;
    const std::string tcp = "--tcp 127.0.0.1:" + std::to_string(sim.port());
    const fs::path db = temp.path / "a.db";

    std::mt19937 random(std::random_device{}());
    int killed = 0;
    for (int attempt = 0; attempt < 30; ++attempt) {
        const pid_t pid = spawnKavrel({"--tcp", "127.0.0.1:" + std::to_string(sim.port()), "logger", "archive", "update",
                                       db.string()},
                                      temp.path);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(20, 120)(random)));
        if (::kill(pid, SIGKILL) == 0) ++killed;
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) break;
    }
    const ToolRun last = runKavrel(tcp + " logger archive update " + db.string(), "", temp.path);
    ASSERT_EQ(last.exitCode, 0) << last.err;
    EXPECT_GT(killed, 0);

    ASSERT_EQ(runKavrel("logger archive export " + db.string() + " -o " + (temp.path / "z_archiwum").string(), "",
                        temp.path).exitCode, 0);
    const ToolRun full = runKavrel(tcp + " logger download -o " + (temp.path / "pelny").string(), "", temp.path);
    ASSERT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(readWholeFile(temp.path / "z_archiwum.csv"), readWholeFile(temp.path / "pelny.csv"));
    EXPECT_EQ(withoutGenerationTime(readWholeFile(temp.path / "z_archiwum.html")),
              withoutGenerationTime(readWholeFile(temp.path / "pelny.html")));

    const ToolRun status = runKavrel("logger archive status " + db.string(), "", temp.path);
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_NE(status.out.find("1500 rekordów"), std::string::npos) << status.out;
}

} // namespace
} // namespace kavrel::testing
