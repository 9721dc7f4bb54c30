// kavrel logger archive as a user runs it: a real process killed with SIGKILL at random
// points of its update, run again until it completes, must leave an archive whose export is
// byte for byte the files of one uncut download.
#include <gtest/gtest.h>

#include <algorithm>
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

// Starts the tool, its error output into `errors` (dropped when empty); returns its process id.
pid_t spawnKavrel(const std::vector<std::string>& args, const fs::path& folder, const fs::path& errors = {}) {
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
    posix_spawn_file_actions_addopen(&actions, 2, errors.empty() ? "/dev/null" : errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
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

// Two updates of one archive started together (a cron job beside the window): whichever
// gets the archive first fills it, the other waits its turn or is refused with a message;
// the archive holds each record once, and the clear that counts it agrees.
TEST(KavrelLoggerArchive, TwoUpdatesAtOnceStoreEveryRecordOnce) {
    sim::SimOptions options;
    options.memory.records = 3000;
    SimFixture sim(options);
    const TempFolder temp;
    const std::string address = "127.0.0.1:" + std::to_string(sim.port());
    const fs::path db = temp.path / "c.db";
    pid_t pids[2];
    for (int i = 0; i < 2; ++i)
        pids[i] = spawnKavrel({"--tcp", address, "logger", "archive", "update", db.string()}, temp.path,
                              temp.path / ("err" + std::to_string(i) + ".txt"));
    int completed = 0;
    for (int i = 0; i < 2; ++i) {
        int status = 0;
        ASSERT_EQ(::waitpid(pids[i], &status, 0), pids[i]);
        ASSERT_TRUE(WIFEXITED(status));
        const std::string err = readWholeFile(temp.path / ("err" + std::to_string(i) + ".txt"));
        if (WEXITSTATUS(status) == 0) {
            ++completed;
            continue;
        }
        EXPECT_EQ(WEXITSTATUS(status), 1);
        EXPECT_EQ(err, "kavrel logger: Archiwum " + db.string() +
                           " jest właśnie uzupełniane przez inny program; spróbuj ponownie, gdy skończy.\n");
    }
    EXPECT_GE(completed, 1);

    const ToolRun status = runKavrel("logger archive status " + db.string(), "", temp.path);
    EXPECT_NE(status.out.find(": 3000 rekordów"), std::string::npos) << status.out;
    ASSERT_EQ(runKavrel("logger archive export " + db.string() + " -o " + (temp.path / "z_archiwum").string(), "",
                        temp.path).exitCode, 0);
    const std::string tcp = "--tcp " + address;
    ASSERT_EQ(runKavrel(tcp + " logger download -o " + (temp.path / "pelny").string(), "", temp.path).exitCode, 0);
    EXPECT_EQ(readWholeFile(temp.path / "z_archiwum.csv"), readWholeFile(temp.path / "pelny.csv"));
    const ToolRun clear = runKavrel(tcp + " logger clear --archived " + db.string() + " --yes", "", temp.path);
    EXPECT_EQ(clear.exitCode, 0) << clear.out << clear.err;
}

// The tool run in `folder`, where the print writes its temporary history.
ToolRun runIn(const fs::path& folder, const std::string& arguments) {
    fs::create_directories(folder);
    const std::string command = "cd '" + folder.string() + "' && XDG_CONFIG_HOME='" + folder.string() + "/config' " +
                                KAVREL_CLI + " " + arguments + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readWholeFile(folder / "out.txt"), readWholeFile(folder / "err.txt")};
}

// The words of a PDF, without the line of the time it was printed.
std::string pdfText(const fs::path& pdf) {
    const fs::path text = pdf.parent_path() / "tekst.txt";
    if (std::system(("pdftotext -layout '" + pdf.string() + "' '" + text.string() + "'").c_str()) != 0) return "";
    std::string all = readWholeFile(text), kept;
    std::size_t at = 0;
    while (at < all.size()) {
        const std::size_t end = std::min(all.find('\n', at), all.size());
        const std::string line = all.substr(at, end - at);
        if (line.find("odczyt") == std::string::npos && line.find("Odczyt") == std::string::npos) kept += line + "\n";
        at = end + 1;
    }
    return kept;
}

// The print and the chart of an archive are those of the same history downloaded (the print)
// or exported from it (the chart), and no module is needed for them; a missing archive or
// module is refused, creating nothing.
TEST(KavrelLoggerArchive, PrintAndChartReadTheArchiveAsTheyReadADownload) {
    if (std::system("pdftotext -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    sim::SimOptions options;
    options.memory.records = 130;
    SimFixture sim(options);
    const TempFolder temp;
    const std::string tcp = "--tcp 127.0.0.1:" + std::to_string(sim.port());
    const fs::path db = temp.path / "stacja.db";
    const ToolRun update = runKavrel(tcp + " logger archive update " + db.string() + " --name Stacja1", "", temp.path);
    ASSERT_EQ(update.exitCode, 0) << update.err;

    const ToolRun fromArchive =
        runIn(temp.path / "archiwum", "logger print --archive " + db.string() + " --name Stacja1 --period 5 --pdf w.pdf");
    ASSERT_EQ(fromArchive.exitCode, 0) << fromArchive.err;
    const ToolRun downloaded = runIn(temp.path / "modul", tcp + " logger print --period 5 --pdf w.pdf");
    ASSERT_EQ(downloaded.exitCode, 0) << downloaded.err;
    EXPECT_EQ(readWholeFile(temp.path / "archiwum" / "kavrellogger_tmp.csv"),
              readWholeFile(temp.path / "modul" / "kavrellogger_tmp.csv"));
    const std::string pages = pdfText(temp.path / "archiwum" / "w.pdf");
    EXPECT_NE(pages.find("KONIEC"), std::string::npos) << pages;
    EXPECT_NE(pages.find("XL16"), std::string::npos) << pages;
    EXPECT_EQ(pages, pdfText(temp.path / "modul" / "w.pdf"));

    const fs::path exported = temp.path / "eksport";
    ASSERT_EQ(runIn(exported, "logger archive export " + db.string() + " -o historia").exitCode, 0);
    fs::rename(exported / "historia.csv", exported / "stacja.db");   // the chart is named after its file
    const ToolRun chart =
        runIn(temp.path / "archiwum", "logger chart --archive " + db.string() + " --name Stacja1 -o w.png --size 900x500");
    ASSERT_EQ(chart.exitCode, 0) << chart.err;
    ASSERT_EQ(runIn(exported, "logger chart stacja.db -o w.png --size 900x500").exitCode, 0);
    const std::string picture = readWholeFile(temp.path / "archiwum" / "w.png");
    EXPECT_EQ(picture.substr(1, 3), "PNG");
    EXPECT_TRUE(picture == readWholeFile(exported / "w.png"));

    const fs::path refused = temp.path / "odmowy";
    const struct {
        std::string arguments, says;
    } cases[] = {
        {"logger print --archive brak.db --pdf w.pdf", "Brak archiwum brak.db."},
        {"logger chart --archive brak.db -o w.png", "Brak archiwum brak.db."},
        {"logger print --archive " + db.string() + " --name Inny --pdf w.pdf", "Archiwum nie zawiera modułu „Inny”."},
        {"logger chart --archive " + db.string() + " --name Inny -o w.png", "Archiwum nie zawiera modułu „Inny”."},
    };
    for (const auto& c : cases) {
        const ToolRun run = runIn(refused, c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << c.arguments << "\n" << run.err;
    }
    for (const auto& entry : fs::directory_iterator(refused))
        EXPECT_TRUE(entry.path().filename() == "out.txt" || entry.path().filename() == "err.txt" ||
                    entry.path().filename() == "config")
            << entry.path();
}

// A module with another memory archived under a name already taken is kept apart: the
// update says so, and print, chart and export then pick either module by its segment.
TEST(KavrelLoggerArchive, TwoModulesOfOneNameAreToldApartBySegment) {
    sim::SimOptions small, large;
    small.memory.records = 130;    // room for 1024 records
    large.memory.records = 700;    // room for 1400: another memory
    SimFixture first(small), second(large);
    const TempFolder temp;
    const fs::path db = temp.path / "stacja.db";
    const auto update = [&](const SimFixture& sim) {
        return runIn(temp.path / "pobrania",
                     "--tcp 127.0.0.1:" + std::to_string(sim.port()) + " logger archive update " + db.string() + " --name Stacja");
    };
    const ToolRun one = update(first);
    ASSERT_EQ(one.exitCode, 0) << one.err;
    EXPECT_EQ(one.err.find("należy w archiwum już do innego modułu"), std::string::npos) << one.err;
    const ToolRun two = update(second);
    ASSERT_EQ(two.exitCode, 0) << two.err;
    EXPECT_NE(two.err.find("Nazwa „Stacja” należy w archiwum już do innego modułu (V3.6, pamięć 16x65, rekord 37 B). "
                           "Ten moduł (V3.6, pamięć 16x89, rekord 37 B) jest zapisywany osobno, w segmencie 2"),
              std::string::npos)
        << two.err;

    const fs::path work = temp.path / "wyniki";
    const ToolRun ambiguous = runIn(work, "logger chart --archive " + db.string() + " --name Stacja -o w.png");
    EXPECT_EQ(ambiguous.exitCode, 1);
    EXPECT_NE(ambiguous.err.find("kilka modułów o nazwie „Stacja” (2): wskaż segment numerem"), std::string::npos)
        << ambiguous.err;
    const ToolRun chart = runIn(work, "logger chart --archive " + db.string() + " --name Stacja --segment 2 -o w.png");
    EXPECT_EQ(chart.exitCode, 0) << chart.err;
    EXPECT_EQ(readWholeFile(work / "w.png").substr(1, 3), "PNG");
    // Each segment's export is its own module's history, as a download of it writes it.
    for (const int segment : {1, 2}) {
        const std::string name = "s" + std::to_string(segment);
        const ToolRun exported =
            runIn(work, "logger archive export " + db.string() + " --segment " + std::to_string(segment) + " -o " + name);
        ASSERT_EQ(exported.exitCode, 0) << exported.err;
        const SimFixture& module = segment == 1 ? first : second;
        const ToolRun downloaded =
            runIn(work, "--tcp 127.0.0.1:" + std::to_string(module.port()) + " logger download -o d" + name);
        ASSERT_EQ(downloaded.exitCode, 0) << downloaded.err;
        EXPECT_EQ(readWholeFile(work / (name + ".csv")), readWholeFile(work / ("d" + name + ".csv"))) << segment;
    }
    EXPECT_NE(readWholeFile(work / "s1.csv"), readWholeFile(work / "s2.csv"));
    const ToolRun print = runIn(work, "logger print --archive " + db.string() + " --segment 2 --period 5 --pdf w.pdf");
    EXPECT_EQ(print.exitCode, 0) << print.err;
    EXPECT_EQ(runIn(work, "logger print --segment 2 --pdf w.pdf").exitCode, 2);
    EXPECT_EQ(runIn(work, "logger chart --archive " + db.string() + " --segment x -o w.png").exitCode, 2);
    const ToolRun missing = runIn(work, "logger chart --archive " + db.string() + " --segment 9 -o w.png");
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Archiwum nie zawiera segmentu 9."), std::string::npos) << missing.err;
}

} // namespace
} // namespace kavrel::testing
