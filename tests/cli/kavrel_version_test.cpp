// The kavrel tool as a user runs it: a real process against the in-process simulator.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

#include "support/sim_fixture.h"

using kavrel::testing::SimFixture;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the tool with a fresh settings folder, so that no user's saved connection is read.
ToolRun runKavrel(const std::string& arguments, const std::string& environment = "") {
    const std::string errFile = ::testing::TempDir() + "kavrel_err.txt";
    const std::string command = "XDG_CONFIG_HOME=" + ::testing::TempDir() + "kavrel-config " + environment + " " +
                                KAVREL_CLI + " " + arguments + " 2>" + errFile;
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 256> chunk{};
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) run.out.append(chunk.data(), n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (FILE* err = std::fopen(errFile.c_str(), "r")) {
        while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), err)) run.err.append(chunk.data(), n);
        std::fclose(err);
    }
    return run;
}

} // namespace

TEST(KavrelVersion, PrintsTheTextAndItsFieldsOverTcpAndSerial) {
    SimFixture sim;
    const ToolRun tcp = runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " version");
    EXPECT_EQ(tcp.exitCode, 0) << tcp.err;
    EXPECT_EQ(tcp.out, "Kavrel V3.6EL\nversionCode=0x36 E=1 L=1 variant=-\n");

    const ToolRun serial = runKavrel("--com 4 version", "KAVREL_COM4=" + sim.ptyPath());
    EXPECT_EQ(serial.exitCode, 0) << serial.err;
    EXPECT_EQ(serial.out, tcp.out);

    // A converter that cuts the reply into small TCP segments.
    sim.setFaults({.splitBytes = 3, .splitDelayMs = 5});
    const ToolRun pieces = runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " version");
    EXPECT_EQ(pieces.exitCode, 0) << pieces.err;
    EXPECT_EQ(pieces.out, tcp.out);
}

TEST(KavrelVersion, FailuresSayWhatHappenedInPolish) {
    const ToolRun noPort = runKavrel("--com 9 version", "KAVREL_COM9=/dev/kavrel-brak");
    EXPECT_EQ(noPort.exitCode, 1);
    EXPECT_NE(noPort.err.find("Błąd otwarcia portu COM9 !"), std::string::npos) << noPort.err;
    EXPECT_EQ(noPort.out, "");
}

TEST(KavrelVersion, UsageErrorsExitTwo) {
    EXPECT_EQ(runKavrel("").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1:99999 version").exitCode, 2);
    EXPECT_EQ(runKavrel("--com zero version").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1 bogus").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1 version extra").exitCode, 2);
    const ToolRun help = runKavrel("version --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: kavrel"), std::string::npos);
}
