// "Odczytaj dane" up to the first batch: checks that there is something to read, names
// and creates the files of the chosen format, re-reads the status and writes their heads.
// The download then hands its records to the returned export (writeExport) and says when
// it has ended.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "common/clock.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/export/export_formats.h"
#include "logger/export/export_sink.h"
#include "logger/protocol/session.h"

namespace kavrel::logger {

// The save dialog: offered the last name, gives the chosen one or nothing when cancelled.
using ChooseExportFile =
    std::function<std::optional<std::filesystem::path>(const std::filesystem::path& lastName)>;

struct ExportRequest {
    bool printMode = false;       // the download for printing: the temporary file, reduced columns
    bool separateComma = false;   // "Rozdzielaj przecinkami"
    std::filesystem::path folder; // the working folder, where the temporary file goes
    ChooseExportFile chooseFile;  // asked in export mode only
    ExportFormat format = ExportFormat::CsvAndHtml;  // the download for printing reads this one
    CsvDialect dialect = CsvDialect::Original;           // the history CSV's form (not for printing)
};

// Returns the export ready for the download, or nothing when the export stopped (after
// its message, if any). exportFileName is the name kept for the program's run: offered
// to the dialog, and replaced by the chosen (or the temporary) name.
std::unique_ptr<ExportSink> prepareExport(LoggerSession& session, const ExportRequest& request,
                                          const LineDescriptions& descriptions, const Clock& clock,
                                          std::filesystem::path& exportFileName);

} // namespace kavrel::logger
