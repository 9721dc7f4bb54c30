// A wire trace read back: its operations, each a header and its entries.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/file_contents.h"

namespace kavrel::testing {

struct TraceEntry {
    long long ms = -1;
    char direction = '?';
    std::string text;
};

struct TracedOperation {
    std::string header;   // the line after "--- " and the date and time
    std::vector<TraceEntry> entries;
};

// Each entry line is "%6lld D TEXT"; a line that is neither entry nor header fails the
// parse (an entry with its direction missing, say) as an entry with direction '?'.
inline std::vector<TracedOperation> readTrace(const std::filesystem::path& file) {
    std::vector<TracedOperation> operations;
    const std::string text = readWholeFile(file);
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        if (line.rfind("--- ", 0) == 0) {
            // "--- YYYY-MM-DD HH:MM:SS " is 24 characters.
            operations.push_back({line.size() > 24 ? line.substr(24) : "", {}});
            continue;
        }
        if (operations.empty()) operations.push_back({"(no header)", {}});
        TraceEntry entry;
        char* after = nullptr;
        entry.ms = std::strtoll(line.c_str(), &after, 10);
        const std::size_t rest = static_cast<std::size_t>(after - line.c_str());
        if (rest + 2 < line.size() + 1 && line[rest] == ' ' && line[rest + 2] == ' ') {
            entry.direction = line[rest + 1];
            entry.text = line.substr(rest + 3);
        } else {
            entry.text = line;
        }
        operations.back().entries.push_back(entry);
    }
    return operations;
}

// The entries with consecutive received pieces joined (a reply may arrive in pieces).
inline std::vector<TraceEntry> joinedReplies(const std::vector<TraceEntry>& entries) {
    std::vector<TraceEntry> joined;
    for (const TraceEntry& entry : entries) {
        if (!joined.empty() && entry.direction == '<' && joined.back().direction == '<') joined.back().text += entry.text;
        else joined.push_back(entry);
    }
    return joined;
}

} // namespace kavrel::testing
