#include "sim/config_commands.h"

#include "config/model/settings_file.h"
#include "config/protocol/command_lines.h"
#include "link/firmware_version.h"

namespace kavrel::sim {
namespace {

// A settings file goes in as the lines a write of it to this version would send; the
// module keeps them its own way.
ConfigSimOptions withSettingsFile(const SimOptions& options) {
    ConfigSimOptions config = options.config;
    if (config.seedSettingsFile.empty()) return config;
    config::SettingsImage image;
    if (config::loadSettingsFile(config.seedSettingsFile, image) != config::SettingsFileResult::Ok) return config;
    for (const auto& step : config::writeSequence(image, link::parseVersion(options.versionText)))
        if (!step.halt) config.seedLines.push_back(step.line);
    return config;
}

} // namespace

ConfigCommands::ConfigCommands(const SimOptions& options)
    : config_(options.config.module ? options.config.module : std::make_shared<ModuleConfiguration>()),
      junkQueries_(options.config.junkQueries) {
    config_->reset(options.versionText, withSettingsFile(options));
}

std::optional<Answer> ConfigCommands::answer(std::string_view line, Session&) {
    for (const auto& query : junkQueries_) {
        if (line != query) continue;
        // What a device that is not a module might say: lines of noise, NUL bytes, an "OK".
        std::string noise;
        for (int n = 0; n < 100; ++n) noise += "Lorem ipsum " + std::to_string(n) + " dolor sit amet\r";
        noise += std::string(16, '\0');
        return Answer{noise + "OK\r"};
    }
    if (auto reply = config_->reply(line)) return Answer{*reply};
    switch (config_->apply(line)) {
    case ModuleConfiguration::Outcome::Accepted: return Answer::ok();
    case ModuleConfiguration::Outcome::Unanswered: return Answer::nothing();
    case ModuleConfiguration::Outcome::NotConfiguration: break;
    }
    return std::nullopt;
}

void ConfigCommands::noteAnsweredElsewhere(std::string_view line) {
    // The logger sets the logging period with "LOGT=n" (followed by the clock): the same
    // LOGT that "SET?" reports.
    if (line.substr(0, 5) != "LOGT=") return;
    config_->apply(line.substr(0, line.find(' ')));
}

} // namespace kavrel::sim
