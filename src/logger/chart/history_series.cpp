#include "logger/chart/history_series.h"

#include <array>
#include <cstdio>
#include <cstdlib>

#include "common/regular_file.h"
#include "common/win1250.h"

namespace kavrel::logger {
namespace {

std::vector<std::string> split(std::string_view line, char separator) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    while (true) {
        const std::size_t next = line.find(separator, at);
        fields.emplace_back(line.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at));
        if (next == std::string_view::npos) return fields;
        at = next + 1;
    }
}

// The next line of `bytes` from `at` (without its CR LF); false at the end.
bool nextLine(std::string_view bytes, std::size_t& at, std::string_view& line) {
    if (at >= bytes.size()) return false;
    std::size_t end = bytes.find('\n', at);
    if (end == std::string_view::npos) end = bytes.size();
    line = bytes.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
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

// A time the module can have written: anything else is no row (and would overflow the
// chart's arithmetic of milliseconds).
bool plausible(const LocalDateTime& t) {
    return t.year >= 1970 && t.year <= 2200 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60;
}

} // namespace

std::string historyReadMessage(HistoryReadResult result, const std::string& fileName) {
    switch (result) {
    case HistoryReadResult::CannotOpen: return "Nie można otworzyć pliku " + fileName + ".";
    case HistoryReadResult::NotRegular: return fileName + " nie jest zwykłym plikiem.";
    case HistoryReadResult::TooLarge: return "Plik " + fileName + " jest za duży, by go narysować.";
    case HistoryReadResult::NotHistory: return "Plik " + fileName + " nie zawiera historii pomiarów.";
    case HistoryReadResult::NoRows: return "Brak pomiarów w pliku " + fileName + ".";
    case HistoryReadResult::Stopped: return "Przerwano czytanie pliku " + fileName + ".";
    case HistoryReadResult::Ok: break;
    }
    return {};
}

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

HistoryReadResult readHistorySeries(const std::filesystem::path& file, HistoryData& data, const std::atomic<bool>* stop) {
    data = {};
    std::string bytes;
    switch (readRegularFile(file, kHistoryFileLimit + 1, bytes)) {
    case FileRead::Ok: break;
    case FileRead::NotRegular: return HistoryReadResult::NotRegular;
    case FileRead::NotOpened:
    case FileRead::ReadFailed: return HistoryReadResult::CannotOpen;
    }
    if (bytes.size() > kHistoryFileLimit) return HistoryReadResult::TooLarge;
    return parseHistorySeries(bytes, data, stop);
}

HistoryReadResult parseHistorySeries(std::string_view bytes, HistoryData& data, const std::atomic<bool>* stop) {
    data = {};
    std::size_t at = 0;
    std::string_view line;
    if (!nextLine(bytes, at, line) || line.size() < 3 || line.size() > kHistoryLineLimit || line.compare(0, 2, "Lp") != 0)
        return HistoryReadResult::NotHistory;
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
    if (columns.size() > kHistorySeriesLimit) return HistoryReadResult::NotHistory;
    for (std::size_t c : columns) data.series.push_back({heading[c], {}});

    std::size_t rows = 0;
    while (nextLine(bytes, at, line)) {
        if (stop && (++rows & 0x3ff) == 0 && stop->load()) {
            data = {};
            return HistoryReadResult::Stopped;
        }
        if (line.size() > kHistoryLineLimit) continue;
        const std::vector<std::string> fields = split(line, separator);
        if (fields.size() < 2) continue;
        LocalDateTime t;
        if (std::sscanf(fields[1].c_str(), "%d-%d-%d %d:%d:%d", &t.year, &t.month, &t.day, &t.hour, &t.minute,
                        &t.second) != 6 ||
            !plausible(t))
            continue;
        if (data.times.size() == kHistoryRowLimit) {
            data = {};
            return HistoryReadResult::TooLarge;
        }
        data.times.push_back(t);
        for (std::size_t i = 0; i < columns.size(); ++i)
            data.series[i].values.push_back(columns[i] < fields.size() ? historyValue(fields[columns[i]], decimalComma)
                                                                       : std::nullopt);
    }
    return data.times.empty() ? HistoryReadResult::NoRows : HistoryReadResult::Ok;
}

} // namespace kavrel::logger
