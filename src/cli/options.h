// The kavrel tool's command line: the connection options before the command, the command
// and its own arguments. Read apart from main, so that its rules are tested without
// starting the tool; main prints what the reading says and runs the command.
//
// Read by hand rather than with an argument library (CLI11 was weighed): its errors and help
// are English sentences built inside its exceptions and formatter, and the tool's rules
// (connection options only before the command, with the command line that would work;
// --help after any word; the help tables the manual pages are made from, in two languages)
// would each need an override, which is more code than this reader and the commands' own.
#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "common/settings_store.h"

namespace kavrel::cli {

// A host name or address as dotted IPv4 (what the link connects to); nullopt when it
// does not resolve.
using HostResolver = std::function<std::optional<std::string>(const std::string& host)>;

// Through the system's resolver.
std::optional<std::string> resolveHost(const std::string& host);

struct CommandLine {
    enum class Action {
        Run,          // run `command` with `commandArgs`
        Help,         // --help before the command: the tool's usage on stdout, exit 0
        CommandHelp,  // COMMAND [ARGS...] --help: the command's usage on stdout, exit 0
        Version,      // --version or -V before the command: the tool's version on stdout, exit 0
        UsageError,   // `error` and, with `showUsage`, the tool's usage on stderr, exit 2
    };
    Action action = Action::Run;
    ConnectionChoice connection;
    bool connectionChosen = false;  // --tcp, --com or --device given; else the saved connection is used
    std::string traceFile;          // --trace FILE: the wire trace of this run
    const Command* command = nullptr;
    std::vector<std::string> commandArgs;
    std::string error;              // "kavrel: ...\n", or empty when the usage alone says it
    bool showUsage = false;
};

CommandLine parseCommandLine(std::span<const std::string> args, const HostResolver& resolve = resolveHost);

// The connection a command gets: the one chosen on the command line, else the one the
// configurator saved; the gap timing also when the user chose it for good; a COM number
// turned into its device.
link::Connection completeConnection(const CommandLine& line, SettingsStore& userSettings);

// "kavrel 0.1.0": the tool's own version (the module's is the command `version`).
void printVersion(std::ostream& out);

// "usage: kavrel [CONNECTION] COMMAND [ARGS...]" with the options and the commands.
void printUsage(std::ostream& out);

} // namespace kavrel::cli
