// kavrel --trace and KAVREL_TRACE: every line the module was sent is in the trace, with
// the replies between them; a file given on the command line is written anew, the
// environment's is appended to.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_kavrel.h"
#include "link/wire_trace.h"
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
    EXPECT_NE(late.err.find("--trace is an option of the tool"), std::string::npos) << late.err;
}

} // namespace
