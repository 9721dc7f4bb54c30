// How a configuration roll-out is cut into stages: the canary modules first, then the rest
// in batches of a number or a share of the fleet; and when a stage's failures stop it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kavrel::fleet {

struct StagePlan {
    std::size_t canary = 0;        // modules of the first stage; 0: no canary stage
    std::size_t batch = 0;         // modules of each later stage; 0: all the rest at once
    int batchPercent = 0;          // when set, the batch is this share of the fleet (at least 1)
    int stopAtPercent = 10;        // a stage whose failures reach this share of it stops the roll-out
};

// "10" or "25%"; false for anything else (no module, over 100 %).
bool parseBatch(const std::string& text, StagePlan& plan);
// "20%" or "20"; 1..100.
bool parseStopAt(const std::string& text, int& percent);

// The stages of `count` modules in fleet order: each a list of module indexes.
std::vector<std::vector<std::size_t>> stagesOf(std::size_t count, const StagePlan& plan);

// Whether `failures` in a stage planned with `size` modules reach the threshold (one
// failure at least).
bool stageStops(std::size_t failures, std::size_t size, int stopAtPercent);

} // namespace kavrel::fleet
