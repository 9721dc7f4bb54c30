// The command-line flags of kavrel-sim, as a table per group of commands so that each
// group brings its own flags and one parser reads them all.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace kavrel::sim {

struct SimFlag {
    const char* name;        // "--version"
    const char* valueName;   // "TEXT", or nullptr for a switch
    const char* help;
    // Applies the value; returns an error text, or "" when accepted.
    std::function<std::string(SimOptions&, const std::string& value)> apply;
};

std::vector<SimFlag> linkFlags();
std::vector<SimFlag> configFlags();

// Every flag of the simulator, all groups together.
std::vector<SimFlag> allSimFlags();

} // namespace kavrel::sim
