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
    if (config::loadSettingsFile(config.seedSettingsFile, image) != FileResult::Ok) return config;
    for (const auto& step : config::writeSequence(image, link::parseVersion(options.versionText)))
        if (!step.halt) config.seedLines.push_back(step.line);
    return config;
}

// The commands that follow a verified write; they are not part of the write itself.
bool isServiceCommand(std::string_view line) {
    return line == "RCNT!" || line == "ERS!" || line == "INIT!" || line.substr(0, 5) == "TIME=";
}

} // namespace

ConfigCommands::ConfigCommands(const SimOptions& options)
    : config_(options.config.module ? options.config.module : std::make_shared<ModuleConfiguration>()),
      junkQueries_(options.config.junkQueries) {
    config_->reset(options.versionText, withSettingsFile(options));
}

std::optional<Answer> ConfigCommands::answer(std::string_view line, Session& session) {
    for (const auto& query : junkQueries_) {
        if (line != query) continue;
        // What a device that is not a module might say: lines of noise, NUL bytes, an "OK".
        std::string noise;
        for (int n = 0; n < 100; ++n) noise += "Lorem ipsum " + std::to_string(n) + " dolor sit amet\r";
        noise += std::string(16, '\0');
        return Answer{noise + "OK\r"};
    }
    if (auto reply = config_->reply(line)) return Answer{*reply};
    std::optional<Answer> answer;
    switch (config_->apply(line)) {
    case ModuleConfiguration::Outcome::Accepted: answer = Answer::ok(); break;
    case ModuleConfiguration::Outcome::Unanswered: answer = Answer::nothing(); break;
    case ModuleConfiguration::Outcome::NotConfiguration: return std::nullopt;
    }
    if (!isServiceCommand(line)) {
        answer->writeCommand = true;
        session.writing = true;
    }
    return answer;
}

void ConfigCommands::noteAnsweredElsewhere(std::string_view line) {
    // The logger sets the logging period with "LOGT=n" (followed by the clock): the same
    // LOGT that "SET?" reports.
    if (line.substr(0, 5) != "LOGT=") return;
    config_->apply(line.substr(0, line.find(' ')));
}

} // namespace kavrel::sim
