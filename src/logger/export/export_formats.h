// The formats an export can be written in, one table row each. A format is an ExportSink in
// a file of its own; adding one is that file and its row in export_formats.cpp.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "logger/descriptions/line_descriptions.h"
#include "logger/export/csv_dialect.h"
#include "logger/export/export_sink.h"

namespace kavrel::logger {

enum class ExportFormat {
    CsvAndHtml,  // the history CSV and the event log HTML of "Odczytaj dane"
    KvlCsv,      // one self-describing UTF-8 CSV of every slot, which an archive can import
    LineProtocol,  // NAME.lp: the time-series database's line protocol
    JsonLines,     // NAME.jsonl: one JSON object per record
};

struct ExportOptions {
    bool printMode = false;      // the download for printing: the reduced columns
    bool separateComma = false;  // "Rozdzielaj przecinkami"
    CsvDialect dialect = CsvDialect::Original;  // the history CSV's form
};

// Makes a format's sink; the descriptions are the program's table, which outlives it.
using MakeExportSink = std::unique_ptr<ExportSink> (*)(const LineDescriptions& descriptions, const ExportOptions& options);

struct ExportFormatRow {
    ExportFormat format;
    const char* name;   // as --format names it
    MakeExportSink make;
};

std::span<const ExportFormatRow> exportFormats();
// The format of a --format name; none when there is no such format.
std::optional<ExportFormat> exportFormatNamed(std::string_view name);

// The sink of the format's row.
std::unique_ptr<ExportSink> makeExportSink(ExportFormat format, const LineDescriptions& descriptions,
                                           const ExportOptions& options);

} // namespace kavrel::logger
