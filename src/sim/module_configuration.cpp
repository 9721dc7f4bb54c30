#include "sim/module_configuration.h"

#include <algorithm>
#include <cstdlib>
#include <array>
#include <charconv>
#include <cstdio>

namespace kavrel::sim {
namespace {

enum class Kind { Text, U8, U16, S16, Values };

// A key family of the module: the stem, its numbers, what it holds, and the first
// firmware that knows it.
struct KeyFamily {
    const char* stem;
    int first;           // number of the first key; -1 for a key without number
    int count;
    Kind kind;
    int size;            // text: characters kept; values: how many numbers
    int minVersion;
    bool needsE;
    bool wholeLine;      // a text that runs to the end of its assignment line
};

constexpr std::array kFamilies = {
    KeyFamily{"PIN", -1, 1, Kind::Text, 8, 0, false, false},
    KeyFamily{"NUM", 0, 6, Kind::Text, 16, 0, false, false},
    KeyFamily{"NUM", 6, 5, Kind::Text, 16, 0x26, false, false},
    KeyFamily{"TRPT", -1, 1, Kind::U16, 0, 0, false, false},
    KeyFamily{"SCFG", -1, 1, Kind::U8, 0, 0, false, false},
    KeyFamily{"HIST1", -1, 1, Kind::U8, 0, 0, false, false},
    KeyFamily{"HIST2", -1, 1, Kind::U8, 0, 0, false, false},
    KeyFamily{"RCFG", -1, 1, Kind::Values, 3, 0, false, false},
    KeyFamily{"CLIP", -1, 1, Kind::Values, 2, 0, false, false},
    KeyFamily{"CTRL", -1, 1, Kind::Values, 2, 0, false, false},
    KeyFamily{"CSDC", -1, 1, Kind::U8, 0, 0, false, false},
    KeyFamily{"MCFG1", -1, 1, Kind::U8, 0, 0, false, false},
    KeyFamily{"SLIM", -1, 1, Kind::U8, 0, 0, false, false},
    KeyFamily{"RPTHR", -1, 1, Kind::Values, 3, 0, false, false},
    KeyFamily{"ALMD", -1, 1, Kind::Values, 2, 0, false, false},
    KeyFamily{"COPS", -1, 1, Kind::U16, 0, 0, false, false},
    KeyFamily{"SMS", 0, 10, Kind::Text, 160, 0, false, true},
    KeyFamily{"ICFG", 1, 8, Kind::U8, 0, 0, false, false},
    KeyFamily{"ULO", 1, 8, Kind::U16, 0, 0, false, false},
    KeyFamily{"UHI", 1, 8, Kind::U16, 0, 0, false, false},
    KeyFamily{"SCFG", 1, 8, Kind::U8, 0, 0, false, false},
    KeyFamily{"OCFG", 1, 8, Kind::U8, 0, 0, false, false},
    KeyFamily{"LOGT", -1, 1, Kind::U8, 0, 0x19, false, false},
    KeyFamily{"GRDHR", -1, 1, Kind::Values, 3, 0x19, false, false},
    KeyFamily{"ADEL", 1, 8, Kind::U8, 0, 0x22, false, false},
    KeyFamily{"APN", 0, 3, Kind::Text, 32, 0x20, false, true},
    KeyFamily{"APN", 3, 4, Kind::Text, 32, 0x20, true, true},
    KeyFamily{"EAD", 0, 6, Kind::Text, 64, 0x20, true, true},
    KeyFamily{"SEML", 1, 8, Kind::U8, 0, 0x20, true, false},
    KeyFamily{"SLOG", -1, 1, Kind::U8, 0, 0x20, true, false},
    KeyFamily{"SLGT", -1, 1, Kind::U8, 0, 0x20, true, false},
    KeyFamily{"MCFG2", -1, 1, Kind::U8, 0, 0x25, false, false},
    KeyFamily{"SXML", -1, 1, Kind::U8, 0, 0x25, false, false},
    KeyFamily{"XCFG", 1, 17, Kind::U8, 0, 0x25, false, false},
    KeyFamily{"XMS", 1, 17, Kind::Text, 40, 0x25, false, true},
    KeyFamily{"XTYP1", -1, 1, Kind::U8, 0, 0x28, false, false},
    KeyFamily{"XLO1", -1, 1, Kind::U16, 0, 0x28, false, false},
    KeyFamily{"XHI1", -1, 1, Kind::U16, 0, 0x28, false, false},
    KeyFamily{"XTYP9", -1, 1, Kind::U8, 0, 0x28, false, false},
    KeyFamily{"XLO9", -1, 1, Kind::U16, 0, 0x28, false, false},
    KeyFamily{"XHI9", -1, 1, Kind::U16, 0, 0x28, false, false},
    KeyFamily{"ATIM", -1, 1, Kind::U8, 0, 0x26, false, false},
    KeyFamily{"ECFG", 1, 8, Kind::U8, 0, 0x26, false, false},
    KeyFamily{"SCLA", 1, 8, Kind::S16, 0, 0x26, false, false},
    KeyFamily{"SCLB", 1, 8, Kind::S16, 0, 0x26, false, false},
    KeyFamily{"THTP", -1, 1, Kind::U8, 0, 0x27, false, false},
    KeyFamily{"NUID", -1, 1, Kind::U16, 0, 0x27, false, false},
    KeyFamily{"TGAC", -1, 1, Kind::U8, 0, 0x27, false, false},
    KeyFamily{"URL0", -1, 1, Kind::Text, 64, 0x27, false, true},
    KeyFamily{"URL1", -1, 1, Kind::Text, 128, 0x27, false, true},
    KeyFamily{"URL2", -1, 1, Kind::Text, 8, 0x27, false, true},
    KeyFamily{"WKD", 1, 3, Kind::U8, 0, 0x36, false, false},
};

// What a query reports, in order. A family reported with "x" ("ICFGx=") is written as
// its stem and "x"; "lines" reports each numbered key on its own line.
enum class Report { Line, Family, Spaced };
struct ReportItem {
    const char* key;   // a key, or the stem of a family
    Report how;
};
struct QueryReport {
    const char* query;
    std::vector<ReportItem> items;
};

const std::vector<QueryReport>& queryReports() {
    static const std::vector<QueryReport> reports = {
        {"SET?",
         {{"PIN", Report::Line},    {"NUM0", Report::Line},   {"NUM1", Report::Line},   {"NUM2", Report::Line},
          {"NUM3", Report::Line},   {"NUM4", Report::Line},   {"NUM5", Report::Line},   {"TRPT", Report::Line},
          {"SCFG", Report::Line},   {"HIST1", Report::Line},  {"HIST2", Report::Line},  {"RCFG", Report::Spaced},
          {"CLIP", Report::Spaced}, {"CTRL", Report::Spaced}, {"CSDC", Report::Line},   {"MCFG1", Report::Line},
          {"MCFG2", Report::Line},  {"SLIM", Report::Line},   {"ICFG", Report::Family}, {"ULO", Report::Family},
          {"UHI", Report::Family},  {"SCFG", Report::Family}, {"OCFG", Report::Family}, {"RPTHR", Report::Line},
          {"ALMD", Report::Line},   {"LOGT", Report::Line},   {"GRDHR", Report::Line},  {"ADEL", Report::Family},
          {"SEML", Report::Family}, {"SLOG", Report::Line},   {"SLGT", Report::Line},   {"ATIM", Report::Line}}},
        {"SMS?",
         {{"SMS0", Report::Line}, {"SMS1", Report::Line}, {"SMS2", Report::Line}, {"SMS3", Report::Line},
          {"SMS4", Report::Line}, {"SMS5", Report::Line}, {"SMS6", Report::Line}, {"SMS7", Report::Line},
          {"SMS8", Report::Line}, {"SMS9", Report::Line}}},
        {"APN?",
         {{"APN0", Report::Line}, {"APN1", Report::Line}, {"APN2", Report::Line}, {"APN3", Report::Line},
          {"APN4", Report::Line}, {"APN5", Report::Line}, {"APN6", Report::Line}}},
        {"EAD?",
         {{"EAD0", Report::Line}, {"EAD1", Report::Line}, {"EAD2", Report::Line}, {"EAD3", Report::Line},
          {"EAD4", Report::Line}, {"EAD5", Report::Line}}},
        {"XCFG?",
         {{"XCFG", Report::Family}, {"XMS1", Report::Line},  {"XMS2", Report::Line},  {"XMS3", Report::Line},
          {"XMS4", Report::Line},   {"XMS5", Report::Line},  {"XMS6", Report::Line},  {"XMS7", Report::Line},
          {"XMS8", Report::Line},   {"XMS9", Report::Line},  {"XMS10", Report::Line}, {"XMS11", Report::Line},
          {"XMS12", Report::Line},  {"XMS13", Report::Line}, {"XMS14", Report::Line}, {"XMS15", Report::Line},
          {"XMS16", Report::Line},  {"XMS17", Report::Line}, {"SXML", Report::Line},  {"XTYP1", Report::Line},
          {"XLO1", Report::Line},   {"XHI1", Report::Line},  {"XTYP9", Report::Line}, {"XLO9", Report::Line},
          {"XHI9", Report::Line}}},
        {"ECFG?",
         {{"NUM6", Report::Line},   {"NUM7", Report::Line},   {"NUM8", Report::Line}, {"NUM9", Report::Line},
          {"NUM10", Report::Line},  {"ECFG", Report::Family}, {"SCLA", Report::Family}, {"SCLB", Report::Family},
          {"THTP", Report::Line},   {"NUID", Report::Line},   {"TGAC", Report::Line}, {"URL0", Report::Line},
          {"URL1", Report::Line},   {"URL2", Report::Line},   {"COPS", Report::Line}, {"WKD", Report::Family}}},
    };
    return reports;
}

// The configuration a module of each version starts with (keys it does not know are skipped).
constexpr const char* kDefaults[] = {
    "PIN=1234", "NUM0=+48601000310", "NUM1=+48600100200", "NUM2=+48600100201", "TRPT=60", "SCFG=96",
    "HIST1=10", "HIST2=20", "RCFG=1,0,0", "CLIP=1,0", "CTRL=129,0", "MCFG1=17", "SLIM=50", "RPTHR=0,16,0",
    "LOGT=15", "ATIM=30", "SMS0=Raport okresowy", "SMS1=Alarm L1", "SMS9=Raport", "APN0=internet",
    "EAD0=kavrel@example.pl", "NUID=1", "TGAC=8", "WKD1=127", "WKD2=127", "WKD3=127",
    "ULO1=1000", "UHI1=4000", "ICFG1=7", "SCLA1=1000",
};

struct Known {
    const KeyFamily* family = nullptr;
    int number = -1;
};

Known lookUp(std::string_view key) {
    for (const auto& f : kFamilies) {
        const std::string_view stem = f.stem;
        if (key.substr(0, stem.size()) != stem) continue;
        const std::string_view rest = key.substr(stem.size());
        if (f.first < 0) {
            if (rest.empty()) return {&f, -1};
            continue;
        }
        int n = 0;
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), n);
        if (error != std::errc{} || end != rest.data() + rest.size() || rest.empty() || (rest.size() > 1 && rest[0] == '0'))
            continue;
        if (n >= f.first && n < f.first + f.count) return {&f, n};
    }
    return {};
}

bool parseInt(std::string_view text, long& value) {
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

// The module keeps numbers at its own widths.
bool normalise(const KeyFamily& f, std::string_view text, std::string& out) {
    if (f.kind == Kind::Text) {
        out = std::string(text.substr(0, static_cast<std::size_t>(f.size)));
        return true;
    }
    if (f.kind == Kind::Values) {
        std::string joined;
        int count = 0;
        while (true) {
            const auto comma = text.find(',');
            long v = 0;
            if (!parseInt(text.substr(0, comma), v) || ++count > f.size) return false;
            joined += (joined.empty() ? "" : ",") + std::to_string(v & 0xFF);
            if (comma == std::string_view::npos) break;
            text.remove_prefix(comma + 1);
        }
        out = joined;
        return true;
    }
    long v = 0;
    if (!parseInt(text, v)) return false;
    switch (f.kind) {
    case Kind::U8: v &= 0xFF; break;
    case Kind::U16: v &= 0xFFFF; break;
    case Kind::S16: v = static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF)); break;
    default: break;
    }
    out = std::to_string(v);
    return true;
}

bool validClock(std::string_view t) {
    // yy/mm/dd,hh:mm:ss
    static constexpr std::string_view shape = "00/00/00,00:00:00";
    if (t.size() != shape.size()) return false;
    for (std::size_t i = 0; i < t.size(); ++i)
        if (shape[i] == '0' ? !(t[i] >= '0' && t[i] <= '9') : t[i] != shape[i]) return false;
    return true;
}

} // namespace

SimFirmware simFirmwareOf(std::string_view text) {
    SimFirmware firmware{0, false, 0};
    const std::size_t limit = std::min<std::size_t>(text.size(), 16);
    for (std::size_t i = 0; i + 3 < text.size() && i < limit; ++i) {
        const auto digit = [&](std::size_t k) { return text[k] >= '0' && text[k] <= '9'; };
        if ((text[i] != 'V' && text[i] != 'v') || !digit(i + 1) || !digit(i + 3)) continue;
        firmware.code = (text[i + 1] - '0') * 16 + (text[i + 3] - '0');
        for (std::size_t k = i + 4; k < std::min(text.size(), i + 8); ++k) {
            const char c = text[k];
            if (c == 'E') firmware.e = true;
            else if (c >= 'A' && c <= 'Z' && c != 'L') firmware.variant = c;
        }
        break;
    }
    return firmware;
}

void ModuleConfiguration::reset(std::string_view versionText, const ConfigSimOptions& options) {
    {
        std::lock_guard lock(mutex_);
        firmware_ = simFirmwareOf(versionText);
        options_ = options;
        options_.module.reset();
        values_.clear();
        journal_.clear();
        counterResets_ = logErases_ = restarts_ = 0;
        clock_.clear();
    }
    for (const char* line : kDefaults) {
        std::vector<Assignment> one;
        std::lock_guard lock(mutex_);
        if (split(line, one))
            for (const auto& a : one) store(a);
    }
    for (const auto& line : options.seedLines) {
        std::vector<Assignment> parsed;
        std::lock_guard lock(mutex_);
        if (split(line, parsed))
            for (const auto& a : parsed) store(a);
    }
}

bool ModuleConfiguration::knows(const std::string& key) const {
    const Known k = lookUp(key);
    return k.family && firmware_.code >= k.family->minVersion && (!k.family->needsE || firmware_.e);
}

// Splits "KEY=value KEY=value" at the blanks that start a known key; a text that runs to
// the end of the line (SMS, APN, EAD, XMS, URL) takes the rest of it.
bool ModuleConfiguration::split(std::string_view line, std::vector<Assignment>& out) const {
    while (!line.empty()) {
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) return false;
        const std::string key(line.substr(0, equals));
        if (!knows(key)) return false;
        line.remove_prefix(equals + 1);
        std::size_t end = line.size();
        if (!lookUp(key).family->wholeLine) {
            for (std::size_t blank = line.find(' '); blank != std::string_view::npos; blank = line.find(' ', blank + 1)) {
                const auto nextEquals = line.find('=', blank + 1);
                if (nextEquals != std::string_view::npos && knows(std::string(line.substr(blank + 1, nextEquals - blank - 1)))) {
                    end = blank;
                    break;
                }
            }
        }
        out.push_back({key, std::string(line.substr(0, end))});
        line.remove_prefix(end == line.size() ? end : end + 1);
    }
    return !out.empty();
}

bool ModuleConfiguration::store(const Assignment& a) {
    std::string value;
    if (!normalise(*lookUp(a.key).family, a.value, value)) return false;
    values_[a.key] = value;
    return true;
}

std::string ModuleConfiguration::storedOrDefault(const std::string& key) const {
    if (const auto it = values_.find(key); it != values_.end()) return it->second;
    const Known k = lookUp(key);
    if (!k.family || k.family->kind == Kind::Text) return "";
    if (k.family->kind == Kind::Values) {
        std::string zeros = "0";
        for (int i = 1; i < k.family->size; ++i) zeros += ",0";
        return zeros;
    }
    return "0";
}

std::string ModuleConfiguration::reportLine(const std::string& key) {
    std::string value = storedOrDefault(key);
    for (auto& echo : options_.shortEchoes) {
        if (echo.key != key || echo.reads <= 0) continue;
        --echo.reads;
        const std::size_t length = echo.length >= 0 ? static_cast<std::size_t>(echo.length)
                                                    : (value.empty() ? 0 : value.size() - 1);
        value = value.substr(0, length);
    }
    return key + "=" + value + "\r";
}

std::string ModuleConfiguration::reportFamily(const std::string& stem) {
    const Known k = lookUp(stem + "1");
    std::string line = stem + "x=";
    for (int n = k.family->first; n < k.family->first + k.family->count; ++n)
        line += (n == k.family->first ? "" : ",") + storedOrDefault(stem + std::to_string(n));
    return line + "\r";
}

// Permission values two characters wide, each followed by a comma, as many as the
// version reports.
std::string ModuleConfiguration::reportSpaced(const std::string& key, int values) const {
    std::string stored = storedOrDefault(key) + ",0,0";
    std::string line = key + "=";
    for (int i = 0; i < values; ++i) {
        const auto comma = stored.find(',');
        char item[8];
        std::snprintf(item, sizeof item, "%02d,", std::stoi(stored.substr(0, comma)));
        line += item;
        stored.erase(0, comma + 1);
    }
    return line + "\r";
}

std::optional<std::string> ModuleConfiguration::reply(std::string_view query) {
    std::lock_guard lock(mutex_);
    for (const auto& report : queryReports()) {
        if (query != report.query) continue;
        journal_.emplace_back(query);
        std::string text;
        for (const auto& item : report.items) {
            const std::string key = item.key;
            if (!knows(item.how == Report::Family ? key + "1" : key)) continue;
            if (key == "ATIM" && options_.omitAtim) continue;
            for (const std::string& drifting : options_.driftKeys)
                if (drifting == key) {
                    const unsigned long next = std::strtoul(storedOrDefault(key).c_str(), nullptr, 10) + 1;
                    values_[key] = std::to_string(next % 65536);
                }
            switch (item.how) {
            case Report::Line: text += reportLine(key); break;
            case Report::Family: text += reportFamily(key); break;
            case Report::Spaced: {
                const int values = key == "RCFG" ? (firmware_.code >= 0x26 ? 3 : firmware_.code >= 0x20 ? 2 : 1)
                                                 : (firmware_.code >= 0x26 ? 2 : 1);
                text += reportSpaced(key, values);
                break;
            }
            }
        }
        return text + "OK\r";
    }
    return std::nullopt;
}

ModuleConfiguration::Outcome ModuleConfiguration::apply(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (line == "RCNT!" || line == "ERS!" || line == "INIT!" || (line.substr(0, 5) == "TIME=" && validClock(line.substr(5)))) {
        journal_.emplace_back(line);
        if (line == "RCNT!") ++counterResets_;
        if (line == "ERS!") ++logErases_;
        if (line == "INIT!") ++restarts_;
        if (line.substr(0, 5) == "TIME=") clock_ = std::string(line.substr(5));
        return Outcome::Accepted;
    }
    std::vector<Assignment> assignments;
    if (!split(line, assignments)) return Outcome::NotConfiguration;
    for (const auto& a : assignments) {
        std::string ignored;
        if (!normalise(*lookUp(a.key).family, a.value, ignored)) return Outcome::NotConfiguration;
    }
    journal_.emplace_back(line);
    for (const auto& a : assignments)
        if (std::find(options_.noOkKeys.begin(), options_.noOkKeys.end(), a.key) != options_.noOkKeys.end())
            return Outcome::Unanswered;
    for (const auto& a : assignments)
        if (std::find(options_.droppedKeys.begin(), options_.droppedKeys.end(), a.key) == options_.droppedKeys.end())
            store(a);
    return Outcome::Accepted;
}

std::string ModuleConfiguration::value(const std::string& key) const {
    std::lock_guard lock(mutex_);
    return storedOrDefault(key);
}

std::vector<std::string> ModuleConfiguration::storedKeys() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> keys;
    for (const auto& [key, value] : values_) keys.push_back(key);
    return keys;
}

std::vector<std::string> ModuleConfiguration::journal() const {
    std::lock_guard lock(mutex_);
    return journal_;
}

void ModuleConfiguration::clearJournal() {
    std::lock_guard lock(mutex_);
    journal_.clear();
}

int ModuleConfiguration::counterResets() const {
    std::lock_guard lock(mutex_);
    return counterResets_;
}

int ModuleConfiguration::logErases() const {
    std::lock_guard lock(mutex_);
    return logErases_;
}

int ModuleConfiguration::restarts() const {
    std::lock_guard lock(mutex_);
    return restarts_;
}

std::string ModuleConfiguration::clock() const {
    std::lock_guard lock(mutex_);
    return clock_;
}

} // namespace kavrel::sim
