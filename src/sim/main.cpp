// kavrel-sim: a simulated Kavrel module on loopback TCP or a pseudo-terminal.
#include <atomic>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
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
        if (!line.ptyLink.empty()) server.linkPty(line.ptyLink);
        std::cout << "pty=" << (line.ptyLink.empty() ? path : line.ptyLink) << std::endl;
    }
    return true;
}

// --modules N: every module its own SimModule and server thread, so that a module told to
// answer late holds up only itself. Returns the exit code.
int serveMany(const SimCommandLine& line) {
    const TcpEndpoint wanted = tcpEndpoint(line.tcp);
    std::vector<std::unique_ptr<SimModule>> modules;
    std::vector<std::unique_ptr<SimServer>> servers;
    std::string fleet;
    for (int i = 0; i < line.modules; ++i) {
        modules.push_back(std::make_unique<SimModule>(moduleOptions(line, i)));
        if (!modules.back()->lineLogOpen()) {
            std::cerr << "kavrel-sim: cannot open " << line.options.lineLogFile << "\n";
            return 1;
        }
        servers.push_back(std::make_unique<SimServer>(*modules.back()));
        const int port = servers.back()->listenTcp(wanted.address, wanted.port == 0 ? 0 : wanted.port + i);
        if (port < 0) {
            std::cerr << "kavrel-sim: cannot listen on " << wanted.address << ":" << (wanted.port == 0 ? 0 : wanted.port + i)
                      << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        char name[16];
        std::snprintf(name, sizeof name, "M%03d", i + 1);
        fleet += std::string(name) + " " + wanted.address + ":" + std::to_string(port) + "\n";
        std::cout << "tcp=" << wanted.address << ":" << port << "\n";
    }
    std::cout.flush();
    if (!line.fleetFile.empty()) {
        std::ofstream file(line.fleetFile, std::ios::binary);
        if (!(file << fleet) || !file.flush()) {
            std::cerr << "kavrel-sim: cannot write " << line.fleetFile << "\n";
            return 1;
        }
    }
    for (auto& server : servers) server->start();
    while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (auto& server : servers) server->stop();
    return 0;
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

    std::signal(SIGPIPE, SIG_IGN);
    if (line.modules > 1 || !line.fleetFile.empty()) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        return serveMany(line);
    }
    SimModule module(line.options);
    if (!module.lineLogOpen()) {
        std::cerr << "kavrel-sim: cannot open " << line.options.lineLogFile << "\n";
        return 1;
    }
    SimServer server(module);
    if (!openEndpoints(server, line)) return 1;
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.run(stopRequested);
    return 0;
}
