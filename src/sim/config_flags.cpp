// The flags of the configuration commands.
#include <cctype>
#include <charconv>
#include <sstream>

#include "common/regular_file.h"
#include "sim/sim_flags.h"

namespace kavrel::sim {
namespace {

std::string shortEcho(SimOptions& o, const std::string& v) {
    ShortEcho echo;
    const auto first = v.find(':');
    const auto second = first == std::string::npos ? std::string::npos : v.find(':', first + 1);
    echo.key = v.substr(0, first);
    const std::string reads = first == std::string::npos ? "" : v.substr(first + 1, second - first - 1);
    if (echo.key.empty() || !wholeNumber(reads, echo.reads) || echo.reads < 1 ||
        (second != std::string::npos && (!wholeNumber(v.substr(second + 1), echo.length) || echo.length < 0)))
        return "expects KEY:READS[:LENGTH], e.g. SMS2:3:14";
    o.config.shortEchoes.push_back(echo);
    return "";
}

bool isSettingsFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string extension = path.substr(path.size() - 4);
    for (auto& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension == ".kvl";
}

// Far more than any configuration's key=value lines; a larger file is not one.
constexpr std::size_t kSeedFileMax = 1024 * 1024;

// A settings file (*.kvl), or a text file of key=value lines as the module reports or
// accepts them.
std::string seedFile(SimOptions& o, const std::string& path) {
    std::string content;
    switch (readRegularFile(path, kSeedFileMax + 1, content)) {
    case FileRead::Ok: break;
    case FileRead::NotRegular: return path + " is not a regular file";
    default: return "cannot read " + path;
    }
    if (isSettingsFile(path)) {
        o.config.seedSettingsFile = path;
        return "";
    }
    if (content.size() > kSeedFileMax) return path + " is larger than " + std::to_string(kSeedFileMax) + " bytes";
    std::istringstream in(content);
    std::string line;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (!line.empty() && line != "OK") o.config.seedLines.push_back(line);
    }
    return "";
}

} // namespace

std::vector<SimFlag> configFlags() {
    return {
        {"--config", "FILE", "seed the configuration from a settings file (.kvl) or KEY=value lines",
         seedFile},
        {"--no-ok", "KEY", "give no answer to assignment lines holding KEY, e.g. SMS3 (repeatable)",
         [](SimOptions& o, const std::string& v) { o.config.noOkKeys.push_back(v); return std::string(); }},
        {"--drop", "KEY", "answer OK to assignments of KEY but keep the old value (repeatable)",
         [](SimOptions& o, const std::string& v) { o.config.droppedKeys.push_back(v); return std::string(); }},
        {"--short-echo", "KEY:N[:LEN]", "report text KEY cut to LEN characters (default one less) for the next N reads",
         shortEcho},
        {"--junk", "QUERY", "answer QUERY (e.g. SET?) with lines that hold no key, then OK (repeatable)",
         [](SimOptions& o, const std::string& v) { o.config.junkQueries.push_back(v); return std::string(); }},
        {"--drift", "KEY", "the module changes the number KEY by itself: every read finds it one higher (repeatable)",
         [](SimOptions& o, const std::string& v) { o.config.driftKeys.push_back(v); return std::string(); }},
        {"--no-atim", nullptr, "leave ATIM out of the answer to SET?",
         [](SimOptions& o, const std::string&) { o.config.omitAtim = true; return std::string(); }},
    };
}

} // namespace kavrel::sim
