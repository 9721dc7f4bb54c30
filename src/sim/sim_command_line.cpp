#include "sim/sim_command_line.h"

#include <cstdlib>
#include <ostream>

#include "sim/sim_flags.h"

namespace kavrel::sim {
namespace {

SimCommandLine usageError(std::string error, bool showUsage = false) {
    SimCommandLine line;
    line.action = SimCommandLine::Action::UsageError;
    line.error = std::move(error);
    line.showUsage = showUsage;
    return line;
}

} // namespace

SimCommandLine parseSimCommandLine(std::span<const std::string> args) {
    SimCommandLine line;
    const auto flags = allSimFlags();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            line.action = SimCommandLine::Action::Help;
            return line;
        }
        if (arg == "--pty") {
            line.pty = true;
            continue;
        }
        if (arg == "--pty-link") {
            if (i + 1 >= args.size()) return usageError("kavrel-sim: --pty-link needs PATH\n");
            line.ptyLink = args[++i];
            line.pty = true;
            continue;
        }
        if (arg == "--tcp") {
            if (i + 1 >= args.size()) return usageError("kavrel-sim: --tcp needs ADDRESS:PORT\n");
            line.tcp = args[++i];
            continue;
        }
        if (arg == "--modules" || arg == "--fleet-file") {
            if (i + 1 >= args.size()) return usageError("kavrel-sim: " + arg + " needs a value\n");
            const std::string& value = args[++i];
            if (arg == "--fleet-file") {
                line.fleetFile = value;
            } else if (!wholeNumber(value, line.modules) || line.modules < 1 || line.modules > kMaxModules) {
                return usageError("kavrel-sim: --modules expects 1.." + std::to_string(kMaxModules) + "\n");
            }
            continue;
        }
        const SimFlag* flag = nullptr;
        for (const auto& f : flags)
            if (arg == f.name) flag = &f;
        if (!flag) return usageError("kavrel-sim: unknown option " + arg + "\n", true);
        std::string value;
        if (flag->valueName) {
            if (i + 1 >= args.size()) return usageError("kavrel-sim: " + arg + " needs " + flag->valueName + "\n");
            value = args[++i];
        }
        if (const std::string error = flag->apply(line.options, value); !error.empty())
            return usageError("kavrel-sim: " + arg + " " + error + "\n");
    }
    if (line.tcp.empty() && !line.pty) return usageError("", true);
    if ((line.modules > 1 || !line.fleetFile.empty()) && (line.tcp.empty() || line.pty))
        return usageError("kavrel-sim: --modules and --fleet-file serve over --tcp only\n");
    return line;
}

TcpEndpoint tcpEndpoint(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos) return {text, 0};
    return {text.substr(0, colon), std::atoi(text.c_str() + colon + 1)};
}

void printSimUsage(std::ostream& out) {
    out << "usage: kavrel-sim (--tcp ADDRESS:PORT | --pty)... [options]\n"
           "  --tcp ADDRESS:PORT  listen on TCP (port 0 picks a free one); prints \"tcp=ADDRESS:PORT\"\n"
           "  --pty               open a pseudo-terminal; prints \"pty=PATH\"\n"
           "  --modules N         serve N modules, each on its own port (ports PORT.. or free ones), one\n"
           "                      \"tcp=ADDRESS:PORT\" line each\n"
           "  --fleet-file PATH   write the modules as a kavrel fleet file (\"M001 ADDRESS:PORT\" lines)\n"
           "  --pty-link PATH     (with --pty) keep a symbolic link PATH to the pseudo-terminal, which\n"
           "                      a cut link (--cut-every) replaces by a new one\n";
    for (const auto& flag : allSimFlags()) {
        std::string left = std::string(flag.name) + (flag.valueName ? std::string(" ") + flag.valueName : "");
        out << "  " << left << std::string(left.size() < 20 ? 20 - left.size() : 1, ' ') << flag.help << "\n";
    }
}

} // namespace kavrel::sim
