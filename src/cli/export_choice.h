// The options that choose an export's form, shared by `logger download` and
// `logger archive export`: --format NAME and --dialect NAME.
#pragma once

#include <string>

#include "logger/export/export_formats.h"

namespace kavrel::cli {

// "" when the name is a format's, else what is wrong (UTF-8).
std::string parseExportFormat(const std::string& name, logger::ExportFormat& format);
// "" when the name is a dialect's, else what is wrong.
std::string parseCsvDialect(const std::string& name, logger::CsvDialect& dialect);
// What is wrong with these choices together ("" when nothing): --comma and --dialect
// belong to the csv format, and --comma to its default dialect.
std::string checkExportChoice(logger::ExportFormat format, logger::CsvDialect dialect, bool comma, bool dialectGiven);

} // namespace kavrel::cli
