// kavrel --trace and KAVREL_TRACE: every line the module was sent is in the trace, with
// the replies between them; a file given on the command line is written anew, the
// environment's is appended to. Only a regular file takes a trace, and a trace that could
// not be written whole is said to be incomplete.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "cli/run_kavrel.h"
#include "link/trace/wire_trace.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"
#include "support/trace_file.h"

namespace {

namespace fs = std::filesystem;
using kavrel::testing::joinedReplies;
using kavrel::testing::readTrace;
using kavrel::testing::runKavrel;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
using kavrel::testing::ToolRun;

// The tool under a shell's own words (limits, traps), with its settings in `folder`: the
// output and the error output together, read through a pipe that no file limit touches.
// `timeout` ends a tool that hangs, so that a hang fails the test instead of holding it.
ToolRun runInShell(const std::string& before, const std::string& arguments, const fs::path& folder) {
    const std::string command = "export XDG_CONFIG_HOME='" + (folder / "config").string() + "'; " + before +
                                " exec timeout 20 " + KAVREL_CLI + " " + arguments + " 2>&1";
    return kavrel::testing::runShellCommand(command);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

std::string traced(std::string line) {
    line += '\r';
    return kavrel::link::traceText({reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
}

TEST(KavrelTrace, ConfigReadListsEveryLineTheModuleReceived) {
    TempFolder folder;
    auto lines = std::make_shared<std::vector<std::string>>();
    SimFixture sim({.lineLog = lines});
    const fs::path trace = folder.path / "t.txt";
    const std::string connection = "--tcp 127.0.0.1:" + std::to_string(sim.port());
    const ToolRun run = runKavrel("--trace " + trace.string() + " " + connection + " config read -o " +
                                      (folder.path / "m.kvl").string(), "", folder.path);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_GT(lines->size(), 10u);

    std::vector<std::string> sent;
    std::size_t sentCount = 0, replyCount = 0;
    for (const auto& operation : readTrace(trace)) {
        for (const auto& entry : joinedReplies(operation.entries)) {
            if (entry.direction == '>') {
                sent.push_back(entry.text);
                ++sentCount;
            } else if (entry.direction == '<') {
                ++replyCount;
            }
        }
    }
    std::vector<std::string> expected;
    for (const auto& line : *lines) expected.push_back(traced(line));
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(replyCount, sentCount);   // every line was answered, and every answer is there

    // The environment's file is appended to, run after run; --trace wins over it.
    const fs::path environmentFile = folder.path / "env.txt";
    const std::string environment = "KAVREL_TRACE='" + environmentFile.string() + "'";
    for (int i = 0; i < 2; ++i) EXPECT_EQ(runKavrel(connection + " version", environment, folder.path).exitCode, 0);
    EXPECT_EQ(readTrace(environmentFile).size(), 2u);
    EXPECT_EQ(runKavrel("--trace " + trace.string() + " " + connection + " version", environment, folder.path).exitCode, 0);
    EXPECT_EQ(readTrace(environmentFile).size(), 2u);
    EXPECT_EQ(readTrace(trace).size(), 1u);   // written anew

    // Off: nothing but the command's own output.
    const ToolRun quiet = runKavrel(connection + " version", "KAVREL_TRACE=0", folder.path);
    EXPECT_EQ(quiet.err.find("VER?"), std::string::npos) << quiet.err;
    const ToolRun toStderr = runKavrel("--trace - " + connection + " version", "", folder.path);
    EXPECT_NE(toStderr.err.find(" > VER?\\r\n"), std::string::npos) << toStderr.err;
    EXPECT_EQ(toStderr.out, quiet.out);
}

TEST(KavrelTrace, AFileThatCannotBeWrittenOrAMisplacedOptionIsRefused) {
    TempFolder folder;
    const ToolRun unwritable = runKavrel("--trace " + (folder.path / "brak" / "t.txt").string() + " --tcp 127.0.0.1:1 version", "",
                                         folder.path);
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("Błąd otwarcia pliku przebiegu transmisji: "), std::string::npos) << unwritable.err;
    const ToolRun late = runKavrel("--tcp 127.0.0.1:1 version --trace t.txt", "", folder.path);
    EXPECT_EQ(late.exitCode, 2);
    EXPECT_NE(late.err.find("--trace jest opcją narzędzia"), std::string::npos) << late.err;
}

TEST(KavrelTrace, OnlyARegularFileTakesATraceAndOneCutShortIsTold) {
    TempFolder folder;
    SimFixture sim;
    const std::string connection = "--tcp 127.0.0.1:" + std::to_string(sim.port());
    const fs::path fifo = folder.path / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    // A FIFO nobody reads and a device are refused at once, before the module is opened.
    for (const std::string& target : {fifo.string(), std::string("/dev/full")}) {
        const ToolRun refused = runInShell("", "--trace '" + target + "' " + connection + " version", folder.path);
        EXPECT_EQ(refused.exitCode, 1) << target << refused.out;
        EXPECT_NE(refused.out.find("Błąd otwarcia pliku przebiegu transmisji: " + target + ": to nie jest zwykły plik"),
                  std::string::npos) << refused.out;
        EXPECT_EQ(refused.out.find("Kavrel V"), std::string::npos) << refused.out;
    }
    // The environment's trace is only a wish: said once, and the command runs untraced.
    const ToolRun environment = runInShell("export KAVREL_TRACE='" + fifo.string() + "';", connection + " version", folder.path);
    EXPECT_EQ(environment.exitCode, 0) << environment.out;
    EXPECT_EQ(occurrences(environment.out, "to nie jest zwykły plik"), 1u) << environment.out;
    EXPECT_NE(environment.out.find("Kavrel V"), std::string::npos) << environment.out;

    // A trace whose writes fail (here the file size limit, as a full disk does): the command
    // does its work and keeps its exit status, and the loss is told once.
    const fs::path trace = folder.path / "t.txt";
    for (const char* command : {"version", "ping --count 3"}) {
        const ToolRun cut = runInShell("ulimit -f 0; trap '' XFSZ;", "--trace '" + trace.string() + "' " + connection + " " + command,
                                       folder.path);
        EXPECT_EQ(cut.exitCode, 0) << cut.out;
        EXPECT_EQ(occurrences(cut.out, "Przebieg transmisji " + trace.string() + " jest niepełny"), 1u) << cut.out;
    }
}

} // namespace
