// The commands of the kavrel tool, one table row each.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "cli/help_text.h"

namespace kavrel::cli {

struct Command {
    const char* name;
    HelpText summary;
    HelpText usage;   // the full --help text of the command
    int (*run)(CliContext& context, std::span<const std::string> args);
};

const std::vector<Command>& commands();

// Whether the command line asks for pages or pictures to be drawn (kavrel logger print,
// kavrel logger chart), which needs
// a QGuiApplication (on the offscreen platform) instead of a QCoreApplication.
bool drawsPages(std::span<const std::string> args);

// The commands, each in its own file.
int runVersion(CliContext& context, std::span<const std::string> args);
int runPing(CliContext& context, std::span<const std::string> args);
int runMonitor(CliContext& context, std::span<const std::string> args);
int runConfig(CliContext& context, std::span<const std::string> args);
const HelpText& configUsage();
int runLogger(CliContext& context, std::span<const std::string> args);
// `kavrel logger chart ...` (no module): args are those after "chart".
int runLoggerChart(CliContext& context, std::span<const std::string> args);
int runPorts(CliContext& context, std::span<const std::string> args);
const HelpText& portsUsage();
int runFleet(CliContext& context, std::span<const std::string> args);
const HelpText& fleetUsage();

} // namespace kavrel::cli
