// kavrel-sim: a simulated Kavrel module on loopback TCP or a pseudo-terminal.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim/server.h"
#include "sim/sim_command_line.h"

namespace {

using namespace kavrel::sim;

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

// Opens what the command line asks for and prints where it is; false (with the reason on
// stderr) when one cannot be opened.
bool openEndpoints(SimServer& server, const SimCommandLine& line) {
    if (!line.tcp.empty()) {
        const TcpEndpoint wanted = tcpEndpoint(line.tcp);
        const int port = server.listenTcp(wanted.address, wanted.port);
        if (port < 0) {
            std::cerr << "kavrel-sim: cannot listen on " << line.tcp << ": " << std::strerror(errno) << "\n";
            return false;
        }
        std::cout << "tcp=" << wanted.address << ":" << port << std::endl;
    }
    if (line.pty) {
        const std::string path = server.openPty();
        if (path.empty()) {
            std::cerr << "kavrel-sim: cannot open a pseudo-terminal\n";
            return false;
        }
        std::cout << "pty=" << path << std::endl;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const SimCommandLine line = parseSimCommandLine(args);
    switch (line.action) {
    case SimCommandLine::Action::Help:
        printSimUsage(std::cout);
        return 0;
    case SimCommandLine::Action::UsageError:
        std::cerr << line.error;
        if (line.showUsage) printSimUsage(std::cerr);
        return 2;
    case SimCommandLine::Action::Run: break;
    }

    SimModule module(line.options);
    SimServer server(module);
    if (!openEndpoints(server, line)) return 1;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.run(stopRequested);
    return 0;
}
