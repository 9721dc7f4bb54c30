// The command-line flags of kavrel-sim, as a table per group of commands so that each
// group brings its own flags and one parser reads them all.
#pragma once

#include <charconv>
#include <functional>
#include <string>
#include <string_view>
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

// The whole text as a number; false for an empty text or anything besides the digits.
template <typename Number>
bool wholeNumber(std::string_view text, Number& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// "N:M" as two whole numbers.
template <typename Number>
bool numberPair(std::string_view text, Number& first, Number& second) {
    const auto colon = text.find(':');
    return colon != std::string_view::npos && wholeNumber(text.substr(0, colon), first) &&
           wholeNumber(text.substr(colon + 1), second);
}

std::vector<SimFlag> linkFlags();
std::vector<SimFlag> monitorFlags();   // measurement replies and their faults
std::vector<SimFlag> configFlags();
std::vector<SimFlag> memoryFlags();

// Every flag of the simulator, all groups together.
std::vector<SimFlag> allSimFlags();

} // namespace kavrel::sim
