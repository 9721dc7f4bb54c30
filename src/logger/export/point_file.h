// The exports read by programs rather than people: one line per record (or per reading)
// in a file of its own, NAME.lp (line protocol) or NAME.jsonl (JSON Lines), UTF-8 with
// plain line feeds. The sink decodes each "P", "X" and "Z" record once into a RecordPoint;
// the format's function writes its lines. A record without a time stamp has no place on a
// time axis and is left out.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "logger/export/csv_header.h"
#include "logger/export/export_sink.h"
#include "logger/export/offset_stamps.h"
#include "logger/export/text_output.h"
#include "logger/records/history_line.h"

namespace kavrel::logger {

struct PointReading {
    std::string id;     // "L1".."L8", "XL1".."XL16"
    std::string name;   // its heading without the unit ("T2", a user's name)
    std::string unit;   // "°C", "" when none
    std::string text;   // the value as the history shows it ("-4.9", "30%")
};

struct PointEvent {
    int code = 0, p1 = 0, p2 = 0, p3 = 0;
    std::string name, text;
};

struct RecordPoint {
    const char* kind = "";        // "pomiar", "rozszerzone", "zdarzenie"
    std::string module;           // "" when the source has no name
    std::int64_t number = 0;      // an extended-line record's is its measurement's
    std::string isoTime;          // with its UTC offset
    long long unixNs = 0;         // records of one kind in one second are 1 ns apart
    bool correct = true;
    std::vector<PointReading> readings;                        // "P" and "X"
    std::vector<std::pair<std::string, std::string>> states;   // "P": heading, value
    std::optional<PointEvent> event;                           // "Z"
};

// The lines of one record, each ending in a line feed.
using FormatPoint = std::string (*)(const RecordPoint& point);

class PointFile final : public ExportSink {
public:
    // extension ".lp", ".jsonl"; the descriptions outlive the export.
    PointFile(const LineDescriptions& descriptions, const char* extension, FormatPoint format)
        : descriptions_(descriptions), extension_(extension), format_(format) {}

    std::string createFiles(const std::filesystem::path& chosen) override;
    std::vector<std::filesystem::path> files() const override { return {file_.target()}; }
    void describeSource(const ExportSource& source) override { module_ = source.moduleName; }
    void writeHeaders(const ExportColumns& columns, const LocalDateTime& generated) override;
    void abandon() override { (void)file_.commitUnlessTargetExists(); }
    bool writeFailed() const override { return file_.failed(); }
    void setObserver(OperationObserver*) override {}

    void downloadStarted() override;
    void historyRecord(const RecordBytes& record, bool correct) override;
    void eventRecord(const RecordBytes& record, bool correct) override;
    void downloadEnded(DownloadEnd end) override;

private:
    // Number, time and correctness; false when the record has no time.
    bool place(RecordPoint& point, const RecordBytes& record, bool correct, bool ownTime);
    void readings(RecordPoint& point, const std::vector<std::string>& values, std::size_t from,
                  const std::vector<std::string>& headings, const std::vector<std::string>& ids);

    const LineDescriptions& descriptions_;
    const char* extension_;
    FormatPoint format_;
    std::string module_;
    CsvHeadings headings_;
    LineConfiguration lines_{};
    std::optional<HistoryLineBuilder> history_;
    OffsetStamps stamps_;
    std::map<std::string, long long> lastNs_;   // per kind
    std::int64_t measurementNumber_ = 0;
    std::optional<RecordTime> measurementTime_;
    TextOutput file_;
};

// The formats' lines (point_formats.cpp).
std::string lineProtocolPoint(const RecordPoint& point);
std::string jsonLinesPoint(const RecordPoint& point);

} // namespace kavrel::logger
