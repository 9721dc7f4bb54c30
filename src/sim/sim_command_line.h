// kavrel-sim's command line: where to listen, and the flags of every group of commands
// (sim_flags.h). Read apart from main, so that its rules are tested without starting the
// simulator; main prints what the reading says and serves.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

#include "sim/sim_options.h"

namespace kavrel::sim {

inline constexpr int kMaxModules = 1000;

struct SimCommandLine {
    enum class Action {
        Run,         // listen where asked and serve `options`
        Help,        // the usage on stdout, exit 0
        UsageError,  // `error` and, with `showUsage`, the usage on stderr, exit 2
    };
    Action action = Action::Run;
    SimOptions options;
    std::string tcp;   // --tcp ADDRESS:PORT as given; empty: no TCP listener
    bool pty = false;  // --pty
    int modules = 1;   // --modules N: N modules, each on its own TCP port, all with the same options
    std::string fleetFile;   // --fleet-file PATH: "NAME ADDRESS:PORT" of each module, for kavrel fleet
    // With --modules: a share (percent) of the modules silent, slow (answering MS late), or
    // cutting the link at every K-th batch; spread evenly over the modules, each fault on
    // other modules than the others where the shares allow.
    int silentShare = 0;
    int slowShare = 0, slowMs = 0;
    int cutShare = 0, cutEvery = 0;
    std::string ptyLink;  // --pty-link PATH: a symbolic link kept pointing at the pseudo-terminal
    std::string error;  // "kavrel-sim: ...\n", or empty when the usage alone says it
    bool showUsage = false;
};

SimCommandLine parseSimCommandLine(std::span<const std::string> args);

// The options of module `index` (0-based) of --modules: the shared ones with its share's fault.
SimOptions moduleOptions(const SimCommandLine& line, int index);

// "ADDRESS:PORT" as listenTcp takes it; without a readable port, port 0 (a free one).
struct TcpEndpoint {
    std::string address;
    int port = 0;
};
TcpEndpoint tcpEndpoint(const std::string& text);

// "usage: kavrel-sim (--tcp ADDRESS:PORT | --pty)... [options]" with every flag.
void printSimUsage(std::ostream& out);

} // namespace kavrel::sim
