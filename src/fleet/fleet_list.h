// The fleet file: one module a line, "NAME HOST[:PORT] [SETTINGS.CFG] [KEY=VALUE ...]" separated by spaces
// or tabs (HOST a dotted IPv4 address, an IPv6 address in brackets, "[::1]:4001", or a name,
// looked up at every connect so that a module behind dynamic DNS is followed); "#" lines and blank lines are skipped. The whole file is read and checked before
// any module is contacted, so that a typo never leaves half a fleet polling.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "monitor/monitor_settings.h"

namespace kavrel::fleet {

// The name under which the poller publishes its own state (kavrel/poller/stan): no module takes it.
inline constexpr std::string_view kPollerName = "poller";

inline constexpr std::uint16_t kDefaultModulePort = 23;   // the module's own TCP port

struct FleetModule {
    std::string name;          // unique; also the MQTT topic level, so no '/', '+' or '#'
    std::string host;          // as written, without an IPv6 address's brackets
    std::uint16_t port = kDefaultModulePort;
    std::uint32_t address = 0; // a dotted IPv4 host in network byte order; 0 for a name or IPv6
                               // (the poller looks `host` up at every connect)
    std::filesystem::path settingsFile;     // empty: the monitor's default line names
    monitor::MonitorSettings settings;      // line names (Windows-1250) and types
    // "key=value" words at the end of the line (site=Ujęcie-3 customer=Gmina), in order:
    // they group the module's alarm notifications and travel with them.
    std::vector<std::pair<std::string, std::string>> labels;

    // "10.0.0.7:23", "[::1]:23", "modul.example.net:23".
    std::string endpoint() const {
        const bool v6 = host.find(':') != std::string::npos;
        return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
    }
};

struct FleetList {
    std::vector<FleetModule> modules;
    std::string error;   // "FILE:LINE: what is wrong"; empty when the whole file is good
};

// Reads a fleet file; settings files are looked up relative to its folder.
FleetList loadFleetList(const std::filesystem::path& file);
// The same for text already read; `source` names it in errors.
FleetList parseFleetList(std::string_view text, const std::filesystem::path& folder, const std::string& source);

} // namespace kavrel::fleet
