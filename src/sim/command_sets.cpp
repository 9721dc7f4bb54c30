#include "sim/command_sets.h"

#include "sim/config_commands.h"
#include "sim/handshake_commands.h"
#include "sim/monitor_commands.h"
#include "sim/memory_commands.h"

namespace kavrel::sim {

std::vector<std::unique_ptr<CommandSet>> makeCommandSets(const SimOptions& options) {
    std::vector<std::unique_ptr<CommandSet>> sets;
    sets.push_back(std::make_unique<MemoryCommands>(options));  // before the handshake: "HALT! DEBUG=0"
    sets.push_back(std::make_unique<HandshakeCommands>(options));
    sets.push_back(std::make_unique<MonitorCommands>(options));
    sets.push_back(std::make_unique<ConfigCommands>(options));
    return sets;
}

} // namespace kavrel::sim
