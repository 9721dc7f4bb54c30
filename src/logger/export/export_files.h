// The two files of an export: the history CSV ("P" and "X" records) and the event log
// HTML ("Z" records). The download hands it the records it accepts, in memory order.
// Created from a chosen name, they are NAME.csv and name.html (export_names.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/clock.h"
#include "common/observer.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/export/csv_dialect.h"
#include "logger/export/csv_header.h"
#include "logger/export/export_sink.h"
#include "logger/export/text_output.h"
#include "logger/records/history_line.h"

namespace kavrel::logger {

class ExportFiles final : public ExportSink {
public:
    enum class [[nodiscard]] CreateResult : int { FilesCreated = 0, CsvNotCreated = 1, HtmlNotCreated = 2 };

    // printMode: the download for printing, always in the semicolon form with the reduced
    // columns; otherwise separateComma keeps commas and decimal points. The descriptions
    // are the program's table, which outlives every export.
    // A dialect other than Original writes the CSV in that form instead (printing never does).
    ExportFiles(const LineDescriptions& descriptions, bool printMode, bool separateComma,
                CsvDialect dialect = CsvDialect::Original);

    // Starts the CSV file, then the HTML file, each in a temporary beside its name. When the
    // HTML file cannot be created, an empty CSV file is left unless one of that name exists.
    CreateResult create(const std::filesystem::path& csv, const std::filesystem::path& html);
    // create() under the names made from the chosen one, with the message of a failure.
    std::string createFiles(const std::filesystem::path& chosen) override;
    std::vector<std::filesystem::path> files() const override { return {csv_.target(), html_.target()}; }
    // Nothing will be downloaded: the empty files take their names where none exist, and
    // files of those names stay as they are.
    void abandon() override;
    // Where to say that a failed download's files were kept beside the earlier ones.
    void setObserver(OperationObserver* observer) override { observer_ = observer; }

    // Writes the CSV heading line and the HTML head; the columns follow the status read
    // just before the download (lines, extended lines, energy meter).
    void writeHeaders(const ExportColumns& columns, const LocalDateTime& generated) override;

    void downloadStarted() override;
    void historyRecord(const RecordBytes& record, bool correct) override;
    void eventRecord(const RecordBytes& record, bool correct) override;
    // Complete: both files take their names. Failed: the files as far as written take their
    // names where none exist; beside a file of that name (a complete earlier download) they
    // are kept as "NAME (niepełny).csv" and the observer is told.
    void downloadEnded(DownloadEnd end) override;

    // Measurement records written with correctness 0 in this download.
    int invalidRecords() const { return history_ ? history_->invalidRecords() : 0; }
    // Whether anything written was lost (the download itself cannot tell).
    bool writeFailed() const override { return csv_.failed() || html_.failed(); }
    bool full() const { return full_; }

private:
    void writeCsv(std::string_view text);
    // Puts a failed download's file in place, or beside an existing one; the name it got.
    std::filesystem::path keepPartial(TextOutput& output);

    const LineDescriptions& descriptions_;
    bool full_;
    bool semicolon_;
    CsvDialect dialect_;
    LineConfiguration lines_{};
    std::optional<HistoryLineBuilder> history_;
    TextOutput csv_;
    TextOutput html_;
    OperationObserver* observer_ = nullptr;
};

// "wyniki (niepełny).csv" for wyniki.csv: where a failed download's file goes beside a
// complete one.
std::filesystem::path partialFileName(const std::filesystem::path& name);
// "NAME TAG.ext" beside NAME.ext.
std::filesystem::path besideFileName(const std::filesystem::path& name, std::string_view tag);

} // namespace kavrel::logger
