// kavrel-sim: a simulated Kavrel module on loopback TCP or a pseudo-terminal.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "sim/server.h"
#include "sim/sim_flags.h"

namespace {

std::atomic<bool> stopRequested{false};

void onSignal(int) { stopRequested = true; }

void printUsage(std::ostream& out) {
    out << "usage: kavrel-sim (--tcp ADDRESS:PORT | --pty)... [options]\n"
           "  --tcp ADDRESS:PORT  listen on TCP (port 0 picks a free one); prints \"tcp=ADDRESS:PORT\"\n"
           "  --pty               open a pseudo-terminal; prints \"pty=PATH\"\n";
    for (const auto& flag : kavrel::sim::allSimFlags()) {
        std::string left = std::string(flag.name) + (flag.valueName ? std::string(" ") + flag.valueName : "");
        out << "  " << left << std::string(left.size() < 20 ? 20 - left.size() : 1, ' ') << flag.help << "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    using namespace kavrel::sim;
    SimOptions options;
    std::string tcp;
    bool pty = false;
    const auto flags = allSimFlags();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage(std::cout);
            return 0;
        }
        if (arg == "--pty") {
            pty = true;
            continue;
        }
        if (arg == "--tcp") {
            if (i + 1 >= argc) {
                std::cerr << "kavrel-sim: --tcp needs ADDRESS:PORT\n";
                return 2;
            }
            tcp = argv[++i];
            continue;
        }
        const SimFlag* flag = nullptr;
        for (const auto& f : flags)
            if (arg == f.name) flag = &f;
        if (!flag) {
            std::cerr << "kavrel-sim: unknown option " << arg << "\n";
            printUsage(std::cerr);
            return 2;
        }
        std::string value;
        if (flag->valueName) {
            if (i + 1 >= argc) {
                std::cerr << "kavrel-sim: " << arg << " needs " << flag->valueName << "\n";
                return 2;
            }
            value = argv[++i];
        }
        if (const std::string error = flag->apply(options, value); !error.empty()) {
            std::cerr << "kavrel-sim: " << arg << " " << error << "\n";
            return 2;
        }
    }
    if (tcp.empty() && !pty) {
        printUsage(std::cerr);
        return 2;
    }

    SimModule module(options);
    SimServer server(module);
    if (!tcp.empty()) {
        const auto colon = tcp.rfind(':');
        const std::string address = colon == std::string::npos ? tcp : tcp.substr(0, colon);
        const int wanted = colon == std::string::npos ? 0 : std::atoi(tcp.c_str() + colon + 1);
        const int port = server.listenTcp(address, wanted);
        if (port < 0) {
            std::cerr << "kavrel-sim: cannot listen on " << tcp << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        std::cout << "tcp=" << address << ":" << port << std::endl;
    }
    if (pty) {
        const std::string path = server.openPty();
        if (path.empty()) {
            std::cerr << "kavrel-sim: cannot open a pseudo-terminal\n";
            return 1;
        }
        std::cout << "pty=" << path << std::endl;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.run(stopRequested);
    return 0;
}
