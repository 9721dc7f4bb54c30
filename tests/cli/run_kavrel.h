// Runs the kavrel tool as a user does: a real process, its output and exit code.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/wait.h>

#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel::testing {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a shell command line: its standard output and its exit code (-1 when it did not exit).
inline ToolRun runShellCommand(const std::string& command) {
    ToolRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    std::array<char, 256> chunk{};
    while (std::size_t n = std::fread(chunk.data(), 1, chunk.size(), pipe)) run.out.append(chunk.data(), n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// Runs the tool with its settings in `folder`, so that no user's saved connection or port
// mapping is read or changed; without a folder, in a fresh one of its own. The error output
// goes to a file in the same folder, which belongs to this process and test alone, so
// parallel cases never read each other's messages.
inline ToolRun runKavrel(const std::string& arguments, const std::string& environment = "",
                         const std::filesystem::path& folder = {}) {
    std::optional<TempFolder> own;
    if (folder.empty()) own.emplace();
    const std::filesystem::path settings = own ? own->path : folder;
    const std::filesystem::path errFile = settings / "err.txt";
    const std::string command = "XDG_CONFIG_HOME='" + (settings / "config").string() + "' " + environment + " " +
                                KAVREL_CLI + " " + arguments + " 2>'" + errFile.string() + "'";
    ToolRun run = runShellCommand(command);
    run.err = readWholeFile(errFile);
    std::filesystem::remove(errFile);
    return run;
}

} // namespace kavrel::testing
