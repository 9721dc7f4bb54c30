// The command sets a simulated module is made of.
#pragma once

#include <memory>
#include <vector>

#include "sim/command_set.h"
#include "sim/sim_options.h"

namespace kavrel::sim {

std::vector<std::unique_ptr<CommandSet>> makeCommandSets(const SimOptions& options);

} // namespace kavrel::sim
