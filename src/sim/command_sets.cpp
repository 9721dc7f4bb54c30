#include "sim/command_sets.h"

#include "sim/config_commands.h"
#include "sim/handshake_commands.h"

namespace kavrel::sim {

std::vector<std::unique_ptr<CommandSet>> makeCommandSets(const SimOptions& options) {
    std::vector<std::unique_ptr<CommandSet>> sets;
    sets.push_back(std::make_unique<HandshakeCommands>(options));
    sets.push_back(std::make_unique<ConfigCommands>(options));
    return sets;
}

} // namespace kavrel::sim
