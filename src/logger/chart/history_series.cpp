#include "logger/chart/history_series.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "common/win1250.h"

namespace kavrel::logger {
namespace {

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (true) {
        const std::size_t next = line.find(separator, at);
        fields.push_back(line.substr(at, next == std::string::npos ? std::string::npos : next - at));
        if (next == std::string::npos) return fields;
        at = next + 1;
    }
}

bool readLine(std::istream& in, std::string& line) {
    if (!std::getline(in, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Where the status columns start: the full set (LOW .. Poprawność) or the reduced one
// (GSM .. Poprawność); npos when the heading is no history heading.
std::size_t statusColumns(const std::vector<std::string>& heading, std::size_t& statusEnd) {
    static const std::array<const char*, 12> kFull = {"LOW", "HIGH", "Wyjścia", "GSM", "Roaming", "SMS",
                                                      "E-mail", "Alarmowy", "Czuwanie", "Flagi", "Stan_XL", "Poprawność"};
    static const std::array<const char*, 4> kReduced = {"GSM", "SMS", "Alarmowy", "Poprawność"};
    auto matches = [&](std::size_t start, auto& names) {
        if (start + names.size() > heading.size()) return false;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (heading[start + i] != W(names[i])) return false;
        return true;
    };
    for (std::size_t start = 2; start < heading.size(); ++start) {
        if (matches(start, kFull)) {
            statusEnd = start + kFull.size();
            return start;
        }
        if (matches(start, kReduced)) {
            statusEnd = start + kReduced.size();
            return start;
        }
    }
    return std::string::npos;
}

} // namespace

std::optional<double> historyValue(std::string text, bool decimalComma) {
    if (!text.empty() && text.back() == '%') text.pop_back();
    if (text.empty()) return std::nullopt;
    if (decimalComma)
        for (char& c : text)
            if (c == ',') c = '.';
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return std::nullopt;
    return value;
}

HistoryReadResult readHistorySeries(const std::filesystem::path& file, HistoryData& data) {
    data = {};
    std::ifstream in(file, std::ios::binary);
    if (!in) return HistoryReadResult::CannotOpen;
    std::string line;
    if (!readLine(in, line) || line.size() < 3 || line.compare(0, 2, "Lp") != 0) return HistoryReadResult::NotHistory;
    const char separator = line[2];
    if (separator != ';' && separator != ',') return HistoryReadResult::NotHistory;
    const bool decimalComma = separator == ';';
    const std::vector<std::string> heading = split(line, separator);
    std::size_t statusEnd = 0;
    const std::size_t statusStart = statusColumns(heading, statusEnd);
    if (statusStart == std::string::npos) return HistoryReadResult::NotHistory;

    std::vector<std::size_t> columns;
    for (std::size_t c = 2; c < heading.size(); ++c)
        if (c < statusStart || c >= statusEnd) columns.push_back(c);
    for (std::size_t c : columns) data.series.push_back({heading[c], {}});

    while (readLine(in, line)) {
        const std::vector<std::string> fields = split(line, separator);
        if (fields.size() < 2) continue;
        LocalDateTime t;
        if (std::sscanf(fields[1].c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                        &t.second) != 6)
            continue;
        data.times.push_back(t);
        for (std::size_t i = 0; i < columns.size(); ++i)
            data.series[i].values.push_back(columns[i] < fields.size() ? historyValue(fields[columns[i]], decimalComma)
                                                                       : std::nullopt);
    }
    return data.times.empty() ? HistoryReadResult::NoRows : HistoryReadResult::Ok;
}

} // namespace kavrel::logger
