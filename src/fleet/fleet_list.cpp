#include "fleet/fleet_list.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

#include "fleet/host_lookup.h"

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

// A host as the resolver takes it: a numeric address, or a name of letters, digits, '-',
// '_' and '.' (a name is looked up only when connecting, so a typo shows as "name not found").
bool goodHost(const std::string& host) {
    if (isNumericAddress(host)) return true;
    if (host.size() > 253 || host.front() == '.' || host.front() == '-') return false;
    for (const unsigned char c : host)
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') return false;
    return true;
}

std::string portOf(const std::string& portText, const std::string& text, FleetModule& module) {
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc{} || end != portText.data() + portText.size() || port < 1 || port > 65535)
        return "port musi być z zakresu 1..65535 w \"" + text + "\"";
    module.port = static_cast<std::uint16_t>(port);
    return "";
}

// "HOST[:PORT]", "[IPV6]:PORT", "[IPV6]" or a bare IPv6 address; returns an error text or "".
std::string splitEndpoint(const std::string& text, FleetModule& module) {
    std::string portText;
    bool hasPort = false;
    if (text.starts_with("[")) {
        const auto close = text.find(']');
        if (close == std::string::npos) return "brak ']' w \"" + text + "\"";
        module.host = text.substr(1, close - 1);
        if (close + 1 < text.size()) {
            if (text[close + 1] != ':') return "oczekiwano [ADRES]:PORT w \"" + text + "\"";
            portText = text.substr(close + 2);
            hasPort = true;
        }
        in6_addr v6{};
        if (::inet_pton(AF_INET6, module.host.c_str(), &v6) != 1) return "niepoprawny adres IPv6 w \"" + text + "\"";
    } else if (std::count(text.begin(), text.end(), ':') > 1) {
        module.host = text;   // a bare IPv6 address: no port can follow it unambiguously
    } else {
        const auto colon = text.rfind(':');
        module.host = text.substr(0, colon);
        hasPort = colon != std::string::npos;
        if (hasPort) portText = text.substr(colon + 1);
    }
    if (hasPort)
        if (const std::string error = portOf(portText, text, module); !error.empty()) return error;
    if (module.host.empty()) return "brak adresu w \"" + text + "\"";
    if (!goodHost(module.host)) return "niepoprawny adres \"" + module.host + "\"";
    in_addr v4{};
    if (::inet_pton(AF_INET, module.host.c_str(), &v4) == 1) module.address = v4.s_addr;
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
        auto fields = words(line);
        if (fields.empty() || fields[0][0] == '#') continue;
        // Labels: the "key=value" words that end the line.
        std::vector<std::pair<std::string, std::string>> labels;
        while (fields.size() > 2 && fields.back().find('=') != std::string::npos) {
            const std::string& word = fields.back();
            const auto eq = word.find('=');
            if (eq == 0 || eq + 1 == word.size()) return fail("etykieta \"" + word + "\" wymaga postaci KLUCZ=WARTOŚĆ");
            labels.insert(labels.begin(), {word.substr(0, eq), word.substr(eq + 1)});
            fields.pop_back();
        }
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
        module.labels = std::move(labels);
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
