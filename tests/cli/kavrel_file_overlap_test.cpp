// A command whose trace or output names one of its own inputs is refused before anything
// is written or sent, whatever spelling or link names the file; an empty settings file is
// never sent as a record of zeros.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>

#include "cli/run_kavrel.h"
#include "support/file_contents.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using kavrel::testing::readWholeFile;
using kavrel::testing::runKavrel;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
using kavrel::testing::ToolRun;

class KavrelFileOverlap : public ::testing::Test {
protected:
    void SetUp() override {
        sim_.emplace(kavrel::sim::SimOptions{.lineLog = lines_});
        connection_ = "--tcp 127.0.0.1:" + std::to_string(sim_->port());
        settings_ = folder_.path / "m.kvl";
        const ToolRun read = run("config read -o " + settings_.string());
        ASSERT_EQ(read.exitCode, 0) << read.err;
        original_ = readWholeFile(settings_);
        ASSERT_EQ(original_.size(), 3608u);
        lines_->clear();
    }
    ToolRun run(const std::string& arguments, const std::string& environment = "") {
        return runKavrel(connection_ + " " + arguments, environment, folder_.path);
    }
    // Refused with the message, the settings file whole and nothing said to the module.
    void expectRefused(const ToolRun& refused, const std::string& message, int exitCode = 1) {
        EXPECT_EQ(refused.exitCode, exitCode) << refused.err;
        EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        EXPECT_EQ(readWholeFile(settings_), original_);
        EXPECT_TRUE(lines_->empty()) << lines_->front();
    }

    TempFolder folder_;
    std::shared_ptr<std::vector<std::string>> lines_ = std::make_shared<std::vector<std::string>>();
    std::optional<SimFixture> sim_;
    std::string connection_;
    fs::path settings_;
    std::string original_;
};

TEST_F(KavrelFileOverlap, ATraceOverAnInputIsRefusedUnderAnySpelling) {
    const std::string traceOver = "plik przebiegu transmisji ";
    fs::create_directory(folder_.path / "sub");
    ASSERT_EQ(::symlink(settings_.c_str(), (folder_.path / "link.txt").c_str()), 0);
    ASSERT_EQ(::link(settings_.c_str(), (folder_.path / "hard.txt").c_str()), 0);
    for (const fs::path& trace : {settings_, folder_.path / "sub" / ".." / "m.kvl", folder_.path / "link.txt",
                                  folder_.path / "hard.txt"}) {
        SCOPED_TRACE(trace.string());
        expectRefused(runKavrel("--trace " + trace.string() + " " + connection_ + " config write " + settings_.string(),
                                "", folder_.path),
                      traceOver);
    }
    // The environment's trace is appended to: as harmful to the file being sent.
    expectRefused(run("config write " + settings_.string(), "KAVREL_TRACE='" + settings_.string() + "'"), traceOver);
    // Commands that only read a file do not empty it either.
    expectRefused(runKavrel("--trace " + settings_.string() + " config dump " + settings_.string(), "", folder_.path),
                  traceOver);
    expectRefused(runKavrel("--trace " + settings_.string() + " config diff m.kvl " + settings_.string(), "",
                            folder_.path),
                  traceOver, 2);   // diff's trouble, as diff(1) has it
    // The monitor's log is never appended to its settings file.
    const fs::path cfg = folder_.path / "m.cfg";
    const ToolRun monitor = run("monitor --settings " + cfg.string() + " --csv " + cfg.string() + " --count 1");
    EXPECT_NE(monitor.err.find("plik wyjściowy " + cfg.string()), std::string::npos) << monitor.err;
    EXPECT_TRUE(lines_->empty());

    // A trace elsewhere goes on as before.
    const fs::path other = folder_.path / "t.txt";
    const ToolRun written = runKavrel("--trace " + other.string() + " " + connection_ + " config write " +
                                          settings_.string(), "", folder_.path);
    EXPECT_EQ(written.exitCode, 0) << written.err;
    EXPECT_NE(readWholeFile(other).find("VER?"), std::string::npos);
}

TEST_F(KavrelFileOverlap, AnEmptySettingsFileIsNeverSent) {
    const fs::path empty = folder_.path / "empty.kvl";
    { std::ofstream{empty}; }
    for (const std::string& command : {"config write " + empty.string(), "config restore " + empty.string()}) {
        SCOPED_TRACE(command);
        expectRefused(run(command), "jest pusty: nic nie wysłano do modułu.");
    }
}

} // namespace
