#include "sim/sim_command_line.h"

#include <algorithm>

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
        if (arg == "--silent-share" || arg == "--slow-share" || arg == "--cut-share") {
            if (i + 1 >= args.size()) return usageError("kavrel-sim: " + arg + " needs a value\n");
            const std::string& value = args[++i];
            bool read = false;
            if (arg == "--silent-share") read = wholeNumber(value, line.silentShare) && line.silentShare >= 0 && line.silentShare <= 100;
            else if (arg == "--slow-share") read = numberPair(value, line.slowShare, line.slowMs) && line.slowShare >= 0 && line.slowShare <= 100 && line.slowMs >= 0;
            else read = numberPair(value, line.cutShare, line.cutEvery) && line.cutShare >= 0 && line.cutShare <= 100 && line.cutEvery >= 1;
            if (!read) return usageError("kavrel-sim: " + arg + (arg == "--silent-share" ? " expects PERCENT 0..100\n" : " expects PERCENT:N\n"));
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

namespace {

// Whether module `index` of `count` falls in a share of `percent`, the share's members spread
// evenly and started at `offset` (so that the shares take different modules).
bool inShare(int index, int count, int percent, int offset) {
    if (percent <= 0) return false;
    const int shifted = (index + count - offset % count) % count;
    return (static_cast<long long>(shifted + 1) * percent) / 100 > (static_cast<long long>(shifted) * percent) / 100;
}

} // namespace

SimOptions moduleOptions(const SimCommandLine& line, int index) {
    SimOptions options = line.options;
    const int count = std::max(1, line.modules);
    if (inShare(index, count, line.silentShare, 0)) options.faults.silent = true;
    if (inShare(index, count, line.slowShare, 1)) options.faults.replyDelayMs = line.slowMs;
    if (inShare(index, count, line.cutShare, 2)) options.memory.faults.cutEveryBatch = line.cutEvery;
    options.seed = line.options.seed + static_cast<unsigned>(index);
    return options;
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
           "  --silent-share P    (with --modules) P percent of the modules answer nothing\n"
           "  --slow-share P:MS   (with --modules) P percent of the modules answer MS milliseconds late\n"
           "  --cut-share P:K     (with --modules) P percent of the modules cut the link at every K-th batch\n"
           "  --pty-link PATH     (with --pty) keep a symbolic link PATH to the pseudo-terminal, which\n"
           "                      a cut link (--cut-every) replaces by a new one\n";
    for (const auto& flag : allSimFlags()) {
        std::string left = std::string(flag.name) + (flag.valueName ? std::string(" ") + flag.valueName : "");
        out << "  " << left << std::string(left.size() < 20 ? 20 - left.size() : 1, ' ') << flag.help << "\n";
    }
}

} // namespace kavrel::sim
