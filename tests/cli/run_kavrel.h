// Runs the kavrel tool as a user does: a real process, its output and exit code.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace kavrel::testing {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the tool with its own settings folder (under the test's temporary folder), so that
// no user's saved connection or port mapping is read or changed.
inline ToolRun runKavrel(const std::string& arguments, const std::string& environment = "",
                         const std::string& settingsFolder = "kavrel-config") {
    // CTest runs test cases as parallel processes sharing one temporary folder: the error
    // output's file carries the process id, so that no run reads another's messages.
    const std::string errFile = ::testing::TempDir() + settingsFolder + "_" + std::to_string(::getpid()) + "_err.txt";
    const std::string command = "XDG_CONFIG_HOME=" + ::testing::TempDir() + settingsFolder + " " + environment + " " +
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
        std::remove(errFile.c_str());
    }
    return run;
}

} // namespace kavrel::testing
