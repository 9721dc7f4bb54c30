#include "logger/export/export_formats.h"

#include <array>

#include "logger/export/export_files.h"

namespace kavrel::logger {
namespace {

std::unique_ptr<ExportSink> makeCsvAndHtml(const LineDescriptions& descriptions, const ExportOptions& options) {
    return std::make_unique<ExportFiles>(descriptions, options.printMode, options.separateComma);
}

constexpr std::array kFormats = {
    ExportFormatRow{ExportFormat::CsvAndHtml, makeCsvAndHtml},
};

} // namespace

std::span<const ExportFormatRow> exportFormats() { return kFormats; }

std::unique_ptr<ExportSink> makeExportSink(ExportFormat format, const LineDescriptions& descriptions,
                                           const ExportOptions& options) {
    for (const ExportFormatRow& row : kFormats)
        if (row.format == format) return row.make(descriptions, options);
    return nullptr;
}

} // namespace kavrel::logger
