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

} // namespace kavrel::logger
