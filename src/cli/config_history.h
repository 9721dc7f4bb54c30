// kavrel config history: the records every configuration write left beside the backups.
#pragma once

#include <span>
#include <string>

#include "cli/cli_context.h"

namespace kavrel::cli {

int runConfigHistory(CliContext& context, std::span<const std::string> args);

} // namespace kavrel::cli
