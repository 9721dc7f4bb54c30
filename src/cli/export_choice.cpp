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

} // namespace kavrel::cli
