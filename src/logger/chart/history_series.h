// The measurement lines of a history CSV as series over time, for the history chart:
// the columns of the input lines and of the extended lines, each named by its heading.
// Reads both forms of the file (";" with decimal commas, "," with decimal points) and
// both column sets (full and reduced).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"

namespace kavrel::logger {

struct HistorySeries {
    std::string name;                        // the column's heading (Windows-1250)
    std::vector<std::optional<double>> values;  // one per row; none when the row has no value
};

struct HistoryData {
    std::vector<LocalDateTime> times;   // one per data row with a readable time
    std::vector<HistorySeries> series;
};

enum class [[nodiscard]] HistoryReadResult { Ok, CannotOpen, NotHistory, NoRows };

HistoryReadResult readHistorySeries(const std::filesystem::path& file, HistoryData& data);

// A value text as the logger writes it: "12,345" or "12.345", "45%", "1"; none otherwise.
std::optional<double> historyValue(std::string text, bool decimalComma);

} // namespace kavrel::logger
