#include "logger/print/print_table.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "common/win1250.h"
#include "logger/print/print_period.h"

namespace kavrel::logger {
namespace {

// A line without its line end: the file is written with CR LF.
bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

} // namespace

PrintReadResult readPrintTable(const std::filesystem::path& file, int period, const LocalDateTime& today,
                               PrintTable& table) {
    table = {};
    std::ifstream in(file, std::ios::binary);
    if (!in) return PrintReadResult::CannotOpen;
    readLine(in, table.heading);
    std::string line;
    while (readLine(in, line)) {
        // The empty line a file may end with is no record.
        if (line.empty()) continue;
        if (inPeriod(period, line, today.year, today.month, today.day)) table.lines.push_back(line);
    }
    table.widest = longestFields(table.lines);
    return table.lines.empty() ? PrintReadResult::NoData : PrintReadResult::Ok;
}

std::string printReadMessage(PrintReadResult result) {
    switch (result) {
    case PrintReadResult::CannotOpen: return W("Błąd otwarcia pliku z historią pomiarów!");
    case PrintReadResult::NoData: return W("Brak danych do wydruku");
    case PrintReadResult::Ok: break;
    }
    return {};
}

int pageCount(std::size_t keptLines) {
    return static_cast<int>((keptLines + kRowsPerPage - 1) / kRowsPerPage);
}

std::string printReadTime(const LocalDateTime& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%d-%02d-%02d %d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::string printTitle(const std::string& readTime, int period) {
    return W("Historia wyników pomiarów (odczytano: ") + readTime + W(", wybrany zakres danych: ") +
           periodTitleName(period) + ")";
}

std::vector<std::string> splitFields(std::string_view row) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (true) {
        const std::size_t semicolon = row.find(';', at);
        fields.emplace_back(row.substr(at, semicolon == std::string_view::npos ? std::string_view::npos : semicolon - at));
        if (semicolon == std::string_view::npos) break;
        at = semicolon + 1;
    }
    return fields;
}

std::vector<int> columnPositions(std::string_view heading, std::size_t fields) {
    const std::vector<std::string> headings = splitFields(heading);
    const std::size_t count = std::max(headings.size(), fields);
    std::vector<int> positions(count, 0);
    constexpr int kFixed[3] = {0, 8, 36};
    constexpr int kBeyondHeading = 15;
    for (std::size_t n = 0; n < count; ++n) {
        if (n < 3) {
            positions[n] = kFixed[n];
            continue;
        }
        if (n - 1 >= headings.size()) {
            positions[n] = positions[n - 1] + kBeyondHeading;
            continue;
        }
        positions[n] = positions[n - 1] + static_cast<int>(headings[n - 1].size() * 3 / 2) + 3;
    }
    return positions;
}

std::vector<std::string> longestFields(const std::vector<std::string>& lines) {
    std::vector<std::string> longest;
    for (const std::string& line : lines) {
        std::size_t column = 0;
        std::size_t at = 0;
        while (true) {
            const std::size_t semicolon = line.find(';', at);
            const std::size_t end = semicolon == std::string::npos ? line.size() : semicolon;
            if (column >= longest.size()) longest.emplace_back();
            if (end - at > longest[column].size()) longest[column] = line.substr(at, end - at);
            if (semicolon == std::string::npos) break;
            at = semicolon + 1;
            ++column;
        }
    }
    return longest;
}

FittedColumns fitColumns(const std::vector<int>& positions, const std::vector<double>& textWidths, double available,
                         double gap) {
    constexpr std::size_t kFixedColumns = 3;
    FittedColumns fitted;
    fitted.positions.resize(positions.size());
    double end = 0;
    for (std::size_t n = 0; n < positions.size(); ++n) {
        double at = positions[n];
        if (n > 0) {
            // Every column, the first three too, starts after the widest text of the one
            // before it (six-digit record numbers are wider than their fixed 8 mm).
            const double previous = fitted.positions[n - 1];
            const double previousWidth = n - 1 < textWidths.size() ? textWidths[n - 1] : 0.0;
            at = previous + std::max(double(positions[n] - positions[n - 1]), previousWidth + gap);
        }
        fitted.positions[n] = at;
        end = std::max(end, at + (n < textWidths.size() ? textWidths[n] : 0.0));
    }
    const double origin = fitted.positions.size() >= kFixedColumns ? fitted.positions[kFixedColumns - 1] : 0.0;
    if (end > available && available > origin) {
        fitted.scale = (available - origin) / (end - origin);
        for (std::size_t n = kFixedColumns - 1; n < fitted.positions.size(); ++n)
            fitted.positions[n] = origin + (fitted.positions[n] - origin) * fitted.scale;
    }
    return fitted;
}

} // namespace kavrel::logger
