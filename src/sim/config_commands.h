// The module's configuration commands: the settings queries, the assignment lines of a
// write, and the service commands that follow a verified write.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/command_set.h"
#include "sim/module_configuration.h"
#include "sim/sim_options.h"

namespace kavrel::sim {

class ConfigCommands final : public CommandSet {
public:
    explicit ConfigCommands(const SimOptions& options);
    std::optional<Answer> answer(std::string_view line, Session& session) override;
    void noteAnsweredElsewhere(std::string_view line) override;

private:
    std::shared_ptr<ModuleConfiguration> config_;
    std::vector<std::string> junkQueries_;
};

} // namespace kavrel::sim
