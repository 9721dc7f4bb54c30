// What the simulated module is and how it misbehaves. Each group of commands adds its
// own options here and its own command-line flags in its flag table.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sim/monitor_options.h"
#include "sim/config_sim_options.h"
#include "sim/memory_options.h"

namespace kavrel::sim {

// Faults of the text exchange, switched on per test or per run.
struct LinkFaults {
    bool silent = false;                       // answers nothing at all
    std::vector<std::string> silentCommands;   // lines starting with one of these get no answer
    int ignoreFirstLines = 0;                  // the first N lines received (any connection) get no answer
    int splitBytes = 0;                        // when set, replies go out in pieces of this many bytes...
    int splitDelayMs = 0;                      // ...with this pause between them
    bool badSerialStart = false;               // serial replies start with CR LF before the "OK"
    std::vector<std::string> closeMidReply;    // TCP: after half the reply to these, the connection drops
    std::string trailingAfterOk;               // sent a few ms after every other answer ending in "OK" CR
    int replyDelayMs = 0;                      // every answer is sent this long after its line came in...
    int replyJitterPercent = 0;                // ...give or take up to this share of it, drawn anew for each answer
    // The link is cut once, after the module has taken the N-th command of a configuration
    // write (assignment lines and the "HALT!"s between blocks, counted over the whole run)
    // and before it answers it: a cable knocked out mid-write. 0: never.
    int cutAtWriteCommand = 0;
    // TCP: cutListenersAfterMs after the server starts, its listener and connections go for
    // cutListenersForMs (connections are refused), then it listens again on the same port:
    // a site's router down for a while. 0: never.
    int cutListenersAfterMs = 0;
    int cutListenersForMs = 0;
};

struct SimOptions {
    std::string versionText = "Kavrel V3.6EL";
    int baud = 0;          // when set, the pseudo-terminal's output is paced at this line rate (8N1: 10 bits
                           // a byte) until "*S115!" switches it to 115200
    LinkFaults faults;
    unsigned seed = 1;     // of the random draws (the reply delay's jitter): a run can be repeated
    MonitorSimOptions monitor;
    ConfigSimOptions config;
    MemoryOptions memory;
    // When set, every line the module receives is added to it, in order (tests read it back).
    std::shared_ptr<std::vector<std::string>> lineLog;
    // When set, every line the module receives is appended to this file as it comes in, one a
    // line, so that a script can wait for a command instead of guessing how long it takes.
    std::string lineLogFile;
};

} // namespace kavrel::sim
