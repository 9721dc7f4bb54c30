#include "logger/export/export_formats.h"

#include <array>

#include "logger/export/export_files.h"
#include "logger/export/kvl_csv.h"
#include "logger/export/point_file.h"

namespace kavrel::logger {
namespace {

std::unique_ptr<ExportSink> makeCsvAndHtml(const LineDescriptions& descriptions, const ExportOptions& options) {
    return std::make_unique<ExportFiles>(descriptions, options.printMode, options.separateComma, options.dialect);
}

std::unique_ptr<ExportSink> makeKvlCsv(const LineDescriptions& descriptions, const ExportOptions&) {
    return std::make_unique<KvlCsvFile>(descriptions);
}

std::unique_ptr<ExportSink> makeLineProtocol(const LineDescriptions& descriptions, const ExportOptions&) {
    return std::make_unique<PointFile>(descriptions, ".lp", lineProtocolPoint);
}

std::unique_ptr<ExportSink> makeJsonLines(const LineDescriptions& descriptions, const ExportOptions&) {
    return std::make_unique<PointFile>(descriptions, ".jsonl", jsonLinesPoint);
}

constexpr std::array kFormats = {
    ExportFormatRow{ExportFormat::CsvAndHtml, "csv", makeCsvAndHtml},
    ExportFormatRow{ExportFormat::KvlCsv, "kvl-csv", makeKvlCsv},
    ExportFormatRow{ExportFormat::LineProtocol, "lp", makeLineProtocol},
    ExportFormatRow{ExportFormat::JsonLines, "jsonl", makeJsonLines},
};

} // namespace

std::span<const ExportFormatRow> exportFormats() { return kFormats; }

std::optional<ExportFormat> exportFormatNamed(std::string_view name) {
    for (const ExportFormatRow& row : kFormats)
        if (name == row.name) return row.format;
    return std::nullopt;
}

std::unique_ptr<ExportSink> makeExportSink(ExportFormat format, const LineDescriptions& descriptions,
                                           const ExportOptions& options) {
    for (const ExportFormatRow& row : kFormats)
        if (row.format == format) return row.make(descriptions, options);
    return nullptr;
}

} // namespace kavrel::logger
