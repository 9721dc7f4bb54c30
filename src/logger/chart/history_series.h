// The measurement lines of a history CSV as series over time, for the history chart:
// the columns of the input lines and of the extended lines, each named by its heading.
// Reads both forms of the file (";" with decimal commas, "," with decimal points) and
// both column sets (full and reduced).
#pragma once

#include <atomic>
#include <cstddef>
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

enum class [[nodiscard]] HistoryReadResult { Ok, CannotOpen, NotRegular, TooLarge, NotHistory, NoRows, Stopped };

// What is read at most. A history of the largest memory is a few megabytes with a heading of
// a few dozen columns; anything far beyond is no history, and is refused before it costs.
inline constexpr std::size_t kHistoryFileLimit = 64u << 20;
inline constexpr std::size_t kHistoryLineLimit = 8u << 10;
inline constexpr std::size_t kHistorySeriesLimit = 32;
inline constexpr std::size_t kHistoryRowLimit = 500000;

// Reads the regular file `file` (a FIFO, a device or a folder is refused without waiting).
// Stops early when `stop` becomes true.
HistoryReadResult readHistorySeries(const std::filesystem::path& file, HistoryData& data,
                                    const std::atomic<bool>* stop = nullptr);
// The same from the file's bytes.
HistoryReadResult parseHistorySeries(std::string_view bytes, HistoryData& data, const std::atomic<bool>* stop = nullptr);

// Why `fileName` (UTF-8) gives nothing to draw, in Polish (UTF-8); empty for Ok.
std::string historyReadMessage(HistoryReadResult result, const std::string& fileName);

// A value text as the logger writes it: "12,345" or "12.345", "45%", "1"; none otherwise.
std::optional<double> historyValue(std::string text, bool decimalComma);

} // namespace kavrel::logger
