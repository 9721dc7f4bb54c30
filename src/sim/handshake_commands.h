// "HALT!", "DEBUG=0" and "VER?": what every program says first.
#pragma once

#include "sim/command_set.h"
#include "sim/sim_options.h"

namespace kavrel::sim {

class HandshakeCommands final : public CommandSet {
public:
    explicit HandshakeCommands(const SimOptions& options) : versionText_(options.versionText) {}
    std::optional<Answer> answer(std::string_view line, Session& session) override;

private:
    std::string versionText_;
};

} // namespace kavrel::sim
