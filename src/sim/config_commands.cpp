#include "sim/config_commands.h"

namespace kavrel::sim {

ConfigCommands::ConfigCommands(const SimOptions& options)
    : config_(options.config.module ? options.config.module : std::make_shared<ModuleConfiguration>()) {
    config_->reset(options.versionText, options.config);
}

std::optional<Answer> ConfigCommands::answer(std::string_view line, Session&) {
    if (auto reply = config_->reply(line)) return Answer{*reply};
    switch (config_->apply(line)) {
    case ModuleConfiguration::Outcome::Accepted: return Answer::ok();
    case ModuleConfiguration::Outcome::Unanswered: return Answer::nothing();
    case ModuleConfiguration::Outcome::NotConfiguration: break;
    }
    return std::nullopt;
}

} // namespace kavrel::sim
