// What the simulated module's configuration starts from and how its configuration
// commands misbehave.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kavrel::sim {

class ModuleConfiguration;

// A text reported shorter than stored, for the next `reads` replies that carry it.
struct ShortEcho {
    std::string key;      // "SMS2", "APN0", "EAD3", "XMS5"
    int reads = 1;
    int length = -1;      // characters reported; -1: one less than stored
};

struct ConfigSimOptions {
    std::vector<std::string> noOkKeys;     // assignment lines holding one of these keys get no answer
    std::vector<std::string> droppedKeys;  // acknowledged with "OK" but not stored
    std::vector<ShortEcho> shortEchoes;
    bool omitAtim = false;                 // "SET?" leaves ATIM out
    // Numeric keys the module changes by itself: each read that reports one finds it one
    // higher than the read before (COPS: the network the module registered in).
    std::vector<std::string> driftKeys;
    std::vector<std::string> junkQueries;  // these queries ("SET?") are answered by lines without a key, then "OK"
    // key=value lines that seed the configuration (after the version's defaults), as
    // "--config FILE" gives them.
    std::vector<std::string> seedLines;
    // A settings file (.kvl) put into the module as a write of it would, after the seed lines.
    std::string seedSettingsFile;
    // Tests hand in their own configuration to look at what the module received.
    std::shared_ptr<ModuleConfiguration> module;
};

} // namespace kavrel::sim
