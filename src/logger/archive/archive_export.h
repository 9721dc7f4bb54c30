// An export written from an archive segment: the records go through the same door as a
// download's (handOnRecord) and the same routine (writeExport), with the columns of the
// status the segment was started with, so that the files are byte for byte those of a full
// download of the same records (all of them, or those of a period).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "logger/archive/archive.h"
#include "logger/descriptions/line_descriptions.h"
#include "logger/export/export_formats.h"

namespace kavrel::logger::archive {

struct ExportChoice {
    std::optional<std::string> moduleName;   // required when the archive holds several modules
    std::optional<std::int64_t> segment;     // the module's newest segment when not given
    std::string from, to;                    // "YYYY-MM-DD", inclusive; empty: no bound
    bool separateComma = false;
    bool printMode = false;                  // the reduced columns of the download for printing
    ExportFormat format = ExportFormat::CsvAndHtml;
    CsvDialect dialect = CsvDialect::Original;
};

struct ExportOutcome {
    bool ok = false;
    std::string error;                        // UTF-8
    std::vector<std::filesystem::path> files; // as the format names them
    long long records = 0;                    // slots exported
};

// The segment an export or a clear means: the named (or only) module's newest, or the given one.
std::optional<std::int64_t> chooseSegment(Archive& archive, const ExportChoice& choice, std::string& error);

// Writes the format's files under NAME (NAME.csv and its .html as "Odczytaj dane" makes
// them); files of those names stay whole until the new ones are complete.
ExportOutcome exportArchive(Archive& archive, const ExportChoice& choice, const std::filesystem::path& name,
                            const LineDescriptions& descriptions, const LocalDateTime& generated);

} // namespace kavrel::logger::archive
