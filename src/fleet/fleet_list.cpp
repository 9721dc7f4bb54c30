#include "fleet/fleet_list.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace kavrel::fleet {
namespace {

constexpr std::size_t kNameMax = 64;

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
        if (at > start) out.emplace_back(line.substr(start, at - start));
    }
    return out;
}

bool goodName(const std::string& name) {
    if (name.empty() || name.size() > kNameMax) return false;
    for (const unsigned char c : name)
        if (c < 0x21 || c == '/' || c == '+' || c == '#' || c == 0x7F) return false;
    return true;
}

// A dotted address as it is; a host name through the resolver, IPv4 only (the module
// speaks IPv4). Returns false when neither works.
bool resolve(const std::string& host, std::uint32_t& address) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, host.c_str(), &parsed) == 1) {
        address = parsed.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
    return true;
}

// "HOST[:PORT]"; returns an error text or "".
std::string splitEndpoint(const std::string& text, FleetModule& module) {
    const auto colon = text.rfind(':');
    module.host = text.substr(0, colon);
    if (colon != std::string::npos) {
        const std::string portText = text.substr(colon + 1);
        unsigned port = 0;
        const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
        if (error != std::errc{} || end != portText.data() + portText.size() || port < 1 || port > 65535)
            return "port musi być z zakresu 1..65535 w \"" + text + "\"";
        module.port = static_cast<std::uint16_t>(port);
    }
    if (module.host.empty()) return "no host in \"" + text + "\"";
    if (!resolve(module.host, module.address)) return "nieznany host \"" + module.host + "\"";
    return "";
}

} // namespace

FleetList parseFleetList(std::string_view text, const std::filesystem::path& folder, const std::string& source) {
    FleetList list;
    std::set<std::string> names;
    int lineNumber = 0;
    auto fail = [&](const std::string& what) {
        list.modules.clear();
        list.error = source + ":" + std::to_string(lineNumber) + ": " + what;
        return list;
    };
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto fields = words(line);
        if (fields.empty() || fields[0][0] == '#') continue;
        if (fields.size() > 3) return fail("oczekiwano NAZWA HOST[:PORT] [USTAWIENIA.CFG], pól: " + std::to_string(fields.size()));
        if (fields.size() < 2) return fail("oczekiwano NAZWA HOST[:PORT] [USTAWIENIA.CFG], brak adresu");
        FleetModule module;
        module.name = fields[0];
        if (!goodName(module.name))
            return fail("nazwa \"" + module.name + "\" musi mieć 1..64 znaki bez '/', '+' i '#'");
        // kavrel/poller/stan is the poller's own retained state: a module of that name would
        // overwrite it, and a subscriber could not tell the two apart.
        if (module.name == kPollerName)
            return fail("nazwa \"" + module.name + "\" jest zajęta przez stan samego odpytywania (kavrel/poller/stan)");
        if (!names.insert(module.name).second) return fail("nazwa \"" + module.name + "\" występuje dwa razy");
        if (const std::string error = splitEndpoint(fields[1], module); !error.empty()) return fail(error);
        if (fields.size() == 3) {
            module.settingsFile = folder / fields[2];
            if (monitor::loadMonitorSettings(module.settingsFile.string(), module.settings) != FileResult::Ok)
                return fail("nie można odczytać pliku ustawień monitora " + module.settingsFile.string());
        }
        list.modules.push_back(std::move(module));
    }
    if (list.modules.empty()) {
        list.error = source + ": brak modułów na liście";
    }
    return list;
}

FleetList loadFleetList(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        FleetList list;
        list.error = "nie można otworzyć " + file.string();
        return list;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseFleetList(text.str(), file.parent_path(), file.string());
}

} // namespace kavrel::fleet
