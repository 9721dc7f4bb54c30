// kavrel fleet config apply|drift (see cmd_fleet_config.cpp, cmd_fleet_drift.cpp).
#pragma once

#include <span>
#include <string>

#include "cli/cli_context.h"
#include "cli/help_text.h"

namespace kavrel::cli {

int runFleetConfig(CliContext& context, std::span<const std::string> args);
int runFleetConfigApply(CliContext& context, std::span<const std::string> args);
int runFleetConfigDrift(CliContext& context, std::span<const std::string> args);
const HelpText& fleetConfigUsage();

} // namespace kavrel::cli
