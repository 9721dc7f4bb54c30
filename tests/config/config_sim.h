// A simulated module whose configuration the test can look into: what it holds, and
// every configuration line it received.
#pragma once

#include <memory>
#include <string>

#include "sim/module_configuration.h"
#include "support/sim_fixture.h"

namespace kavrel::testing {

struct SimWithConfig {
    explicit SimWithConfig(const std::string& versionText, sim::ConfigSimOptions config = {}, sim::LinkFaults faults = {})
        : module(std::make_shared<sim::ModuleConfiguration>()),
          fixture(makeOptions(versionText, std::move(config), std::move(faults), module)) {}

    static sim::SimOptions makeOptions(const std::string& versionText, sim::ConfigSimOptions config,
                                       sim::LinkFaults faults, std::shared_ptr<sim::ModuleConfiguration> module) {
        config.module = std::move(module);
        return {.versionText = versionText, .faults = std::move(faults), .config = std::move(config)};
    }

    std::shared_ptr<sim::ModuleConfiguration> module;
    SimFixture fixture;
};

} // namespace kavrel::testing
