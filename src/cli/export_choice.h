// The options that choose an export's form, shared by `logger download` and
// `logger archive export`: --format NAME.
#pragma once

#include <string>

#include "logger/export/export_formats.h"

namespace kavrel::cli {

// "" when the name is a format's, else what is wrong (UTF-8).
std::string parseExportFormat(const std::string& name, logger::ExportFormat& format);

} // namespace kavrel::cli
