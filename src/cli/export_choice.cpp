#include "cli/export_choice.h"

namespace kavrel::cli {

std::string parseExportFormat(const std::string& name, logger::ExportFormat& format) {
    if (const auto found = logger::exportFormatNamed(name)) {
        format = *found;
        return "";
    }
    std::string known;
    for (const logger::ExportFormatRow& row : logger::exportFormats()) known += std::string(known.empty() ? "" : ", ") + row.name;
    return "nieznany format " + name + " (znane: " + known + ")";
}

std::string parseCsvDialect(const std::string& name, logger::CsvDialect& dialect) {
    if (const auto found = logger::csvDialectNamed(name)) {
        dialect = *found;
        return "";
    }
    return "nieznany dialekt " + name + " (znane: " + logger::csvDialectNames() + ")";
}

std::string checkExportChoice(logger::ExportFormat format, logger::CsvDialect dialect, bool comma, bool dialectGiven) {
    if (format != logger::ExportFormat::CsvAndHtml && comma) return "--comma dotyczy tylko formatu csv";
    if (format != logger::ExportFormat::CsvAndHtml && dialectGiven) return "--dialect dotyczy tylko formatu csv";
    if (comma && dialect != logger::CsvDialect::Original) return "--comma idzie w parze tylko z dialektem original";
    return "";
}

} // namespace kavrel::cli
