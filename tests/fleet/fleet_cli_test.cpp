// kavrel fleet as a user runs it: a bad fleet file is refused before any module hears a
// byte; Ctrl-C ends the poller with its rounds committed; the status table shows them; a
// computer short of file descriptors is never taken for silent modules; polls a full disk
// did not take end the run with an error.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/resource.h>

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

namespace {

// The tool run with a limit set in the child before it starts; its exit code. A file-size
// limit stands in for a full disk: a write past it fails (the signal it raises is ignored).
int runWithLimit(const std::vector<std::string>& args, int resource, rlim_t soft, rlim_t hard, const std::string& output) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit limit{soft, hard};
        const int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::signal(SIGXFSZ, SIG_IGN);
        if (::setrlimit(resource, &limit) != 0 || out < 0) ::_exit(126);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::close(out);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long long pollsWith(const std::string& db, const std::string& outcome) {
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(handle, "SELECT count(*) FROM polls WHERE outcome = ?", -1, &count, nullptr);
    sqlite3_bind_text(count, 1, outcome.c_str(), -1, SQLITE_TRANSIENT);
    const long long n = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int64(count, 0) : -1;
    sqlite3_finalize(count);
    sqlite3_close(handle);
    return n;
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

} // namespace

TEST(FleetCli, ModulesThisComputerCannotReachForWantOfFilesAreNoSilentModules) {
    constexpr int kModules = 40;
    const kavrel::testing::TempFolder folder;
    std::vector<std::unique_ptr<kavrel::testing::SimFixture>> modules;
    std::ofstream hosts(folder.path / "fleet.txt");
    for (int i = 0; i < kModules; ++i) {
        modules.push_back(std::make_unique<kavrel::testing::SimFixture>());
        hosts << "K" << i << " 127.0.0.1:" << modules.back()->port() << "\n";
    }
    hosts.close();
    const auto poll = [&](const std::string& db) {
        return std::vector<std::string>{KAVREL_CLI, "fleet", "poll", "--hosts", (folder.path / "fleet.txt").string(), "--db",
                                        db, "--interval", "0.3", "--duration", "0.7", "--quiet"};
    };
    const std::string out = (folder.path / "out.txt").string();

    // A soft limit below the fleet's need, the hard limit above it: raised, every poll answered.
    const std::string raised = (folder.path / "raised.db").string();
    EXPECT_EQ(runWithLimit(poll(raised), RLIMIT_NOFILE, 24, 4096, out), 0) << kavrel::testing::readWholeFile(out);
    EXPECT_GT(pollsWith(raised, "ok"), 0);
    EXPECT_EQ(pollsWith(raised, "no answer"), 0);
    EXPECT_EQ(pollsWith(raised, "local error"), 0);

    // A hard limit below it: the polls that found no descriptor are this computer's errors,
    // said once, and the run fails; no healthy module is recorded as silent. Under AddressSanitizer
    // its runtime holds descriptors of its own, and 24 leave the tool none to poll with.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a fixed low descriptor limit leaves a sanitized tool none of its own";
#endif
    const std::string low = (folder.path / "low.db").string();
    EXPECT_EQ(runWithLimit(poll(low), RLIMIT_NOFILE, 24, 24, out), 1);
    const std::string said = kavrel::testing::readWholeFile(out);
    EXPECT_GT(pollsWith(low, "ok"), 0);
    EXPECT_GT(pollsWith(low, "local error"), 0);
    EXPECT_EQ(pollsWith(low, "no answer"), 0);
    EXPECT_EQ(occurrences(said, "z powodu błędu na tym komputerze (za dużo otwartych plików"), 1u) << said;
    EXPECT_NE(said.find("limit otwartych plików (24, ulimit -n) jest za mały dla 40 modułów"), std::string::npos) << said;
}

TEST(FleetCli, PollsTheDatabaseDidNotTakeEndTheRunWithAnError) {
    const kavrel::testing::TempFolder folder;
    std::vector<std::unique_ptr<kavrel::testing::SimFixture>> modules;
    std::ofstream hosts(folder.path / "fleet.txt");
    for (int i = 0; i < 10; ++i) {
        modules.push_back(std::make_unique<kavrel::testing::SimFixture>());
        hosts << "K" << i << " 127.0.0.1:" << modules.back()->port() << "\n";
    }
    hosts.close();
    const std::string db = (folder.path / "f.db").string(), out = (folder.path / "out.txt").string();
    // Room for the database and its first rounds, then the disk is "full".
    constexpr rlim_t kBytes = 64 * 1024;
    EXPECT_EQ(runWithLimit({KAVREL_CLI, "fleet", "poll", "--hosts", (folder.path / "fleet.txt").string(), "--db", db,
                            "--interval", "0.2", "--duration", "1", "--quiet"},
                           RLIMIT_FSIZE, kBytes, kBytes, out),
              1);
    const std::string said = kavrel::testing::readWholeFile(out);
    EXPECT_NE(said.find("bazy nie da się teraz zapisać (błąd zapisu na dysk)"), std::string::npos) << said;
    const auto stored = said.find("kavrel fleet poll: w bazie zapisano ");
    ASSERT_NE(stored, std::string::npos) << said;
    EXPECT_NE(said.find("odczytów (błąd zapisu na dysk).", stored), std::string::npos) << said;
    EXPECT_EQ(said.find("database"), std::string::npos) << "SQLite's English words: " << said;

    // With room again, the next run stores what waited, first.
    const long long before = pollsWith(db, "ok");
    EXPECT_EQ(runWithLimit({KAVREL_CLI, "fleet", "poll", "--hosts", (folder.path / "fleet.txt").string(), "--db", db,
                            "--interval", "0.2", "--duration", "0.3", "--quiet"},
                           RLIMIT_FSIZE, RLIM_INFINITY, RLIM_INFINITY, out),
              0) << kavrel::testing::readWholeFile(out);
    EXPECT_GT(pollsWith(db, "ok"), before + 10);
    EXPECT_FALSE(std::filesystem::exists(db + "-rounds.spool"));
}

namespace {

// Waits until the file holds `part` (the service's log lines), at most `limit`.
bool waitForText(const std::filesystem::path& file, const std::string& part, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (kavrel::testing::readWholeFile(file).find(part) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace

// kavrel fleet serve as a service runs: SIGHUP with a bad fleet file is refused with its line
// number and the fleet kept polling; a good one adds its new module; SIGTERM ends it with
// everything committed and exit 0; `fleet status --json` shows each module's jobs.
TEST(FleetCli, ServeReloadsOnSighupRefusesABadFileAndEndsCleanlyOnSigterm) {
    const kavrel::testing::TempFolder folder;
    sim::SimOptions memory;
    memory.memory.records = 120;
    kavrel::testing::SimFixture first(memory), second(memory);
    const auto hosts = folder.path / "fleet.txt";
    std::ofstream(hosts) << "K1 127.0.0.1:" << first.port() << "\n";
    const std::string db = (folder.path / "f.db").string();
    const auto out = folder.path / "out.txt";
    pid_t pid = kavrel::testing::startProcess({KAVREL_CLI, "fleet", "serve", "--hosts", hosts.string(), "--db", db,
                                               "--archives", (folder.path / "archiwa").string(), "--backups",
                                               (folder.path / "kopie").string(), "--interval", "0.2", "--jobs", "2"},
                                              out);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitForText(out, "K1: kopia ustawień: pierwsza kopia", std::chrono::seconds(10)))
        << kavrel::testing::readWholeFile(out);
    ASSERT_TRUE(waitForText(out, "K1: pobranie pamięci: pobrano 120", std::chrono::seconds(10)))
        << kavrel::testing::readWholeFile(out);

    std::ofstream(hosts) << "K1 127.0.0.1:" << first.port() << "\nK2 127.0.0.1:99999\n";
    ::kill(pid, SIGHUP);
    ASSERT_TRUE(waitForText(out, "fleet.txt:2: port musi być z zakresu 1..65535", std::chrono::seconds(5)))
        << kavrel::testing::readWholeFile(out);
    EXPECT_NE(kavrel::testing::readWholeFile(out).find("odrzucony, flota bez zmian"), std::string::npos);

    std::ofstream(hosts) << "K1 127.0.0.1:" << first.port() << "\nK2 127.0.0.1:" << second.port() << "\n";
    ::kill(pid, SIGHUP);
    ASSERT_TRUE(waitForText(out, "dodane 1, usunięte 0, zmienione 0", std::chrono::seconds(5)))
        << kavrel::testing::readWholeFile(out);
    ASSERT_TRUE(waitForText(out, "K2: pobranie pamięci: pobrano 120", std::chrono::seconds(10)))
        << kavrel::testing::readWholeFile(out);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));

    const int status = kavrel::testing::endProcess(pid, SIGTERM);
    ASSERT_TRUE(WIFEXITED(status)) << kavrel::testing::readWholeFile(out);
    EXPECT_EQ(WEXITSTATUS(status), 0) << kavrel::testing::readWholeFile(out);
    EXPECT_GT(pollsWith(db, "ok"), 5);

    const auto shown = runKavrel("fleet status '" + db + "' --json", "", folder.path);
    EXPECT_EQ(shown.exitCode, 0) << shown.err;
    EXPECT_NE(shown.out.find("\"name\":\"K2\""), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\"records\":120,\"holes\":0"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("\"changed_fields\":0"), std::string::npos) << shown.out;
    const auto table = runKavrel("fleet status '" + db + "'", "", folder.path);
    EXPECT_NE(table.out.find("pobranie pamięci"), std::string::npos) << table.out;
}
