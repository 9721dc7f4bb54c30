// The self-describing history: one UTF-8 CSV file (NAME.csv) with four header lines — the
// format, its version and where the records come from (module, firmware, tool, period,
// the module's status, the segment); the column names; their units; the kind of each
// column (number, time, record, reading, state, counter, event, frame) — and then one row
// per memory slot in memory order, lost record numbers as rows of their own. Each row
// carries the slot's frame as hex, so that `archive import` gives back the very records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "logger/export/csv_header.h"
#include "logger/export/export_sink.h"
#include "logger/export/offset_stamps.h"
#include "logger/export/text_output.h"
#include "logger/records/history_line.h"

namespace kavrel::logger {

inline constexpr const char* kKvlCsvFormat = "KVL-CSV";
inline constexpr const char* kKvlCsvVersion = "1";

// Fields of the first header line, by position.
namespace kvl {
inline constexpr std::size_t kFormat = 0, kVersion = 1, kModule = 2, kFirmware = 3, kTool = 4, kToolVersion = 5,
                             kFrom = 6, kTo = 7, kStatus = 8, kStarted = 9, kReason = 10, kFirstLineFields = 11;
// Values of the "Rodzaj" column.
inline constexpr const char* kLostRow = "luka";
} // namespace kvl

class KvlCsvFile final : public ExportSink {
public:
    // The descriptions are the program's table, which outlives every export.
    explicit KvlCsvFile(const LineDescriptions& descriptions) : descriptions_(descriptions) {}

    std::string createFiles(const std::filesystem::path& chosen) override;
    std::vector<std::filesystem::path> files() const override { return {csv_.target()}; }
    void describeSource(const ExportSource& source) override { source_ = source; }
    void writeHeaders(const ExportColumns& columns, const LocalDateTime& generated) override;
    void abandon() override { (void)csv_.commitUnlessTargetExists(); }
    bool writeFailed() const override { return csv_.failed(); }
    void setObserver(OperationObserver*) override {}

    void downloadStarted() override;
    void historyRecord(const RecordBytes&, bool) override {}
    void eventRecord(const RecordBytes&, bool) override {}
    // A download's slot: numbered as the archive numbers them.
    void recordSlot(int index, std::span<const std::uint8_t> frame, bool correct) override;
    void archivedSlot(const ArchivedPlace& place, std::span<const std::uint8_t> frame, bool correct) override;
    void downloadEnded(DownloadEnd end) override;

private:
    void writeRow(const ArchivedPlace& place, std::span<const std::uint8_t> frame, bool correct);
    // Rows of the lost numbers before `number` (all of them when none).
    void writeLostBefore(std::optional<std::int64_t> number);
    std::vector<std::string> emptyRow() const;

    const LineDescriptions& descriptions_;
    ExportSource source_;
    CsvHeadings headings_;
    std::optional<HistoryLineBuilder> history_;
    LineConfiguration lines_{};
    OffsetStamps stamps_;
    OffsetStamps noticedStamps_;
    std::size_t nextLost_ = 0;
    bool archived_ = false;      // slots come from the archive, numbered already
    bool anyRow_ = false;
    std::int64_t number_ = 0;    // a download's last number
    std::string measurementStamp_;
    TextOutput csv_;
};

} // namespace kavrel::logger
