#include "logger/archive/archive_export.h"

#include "logger/download/download.h"
#include "logger/export/export_files.h"
#include "logger/export/export_names.h"

namespace kavrel::logger::archive {

std::optional<std::int64_t> chooseSegment(Archive& archive, const ExportChoice& choice, std::string& error) {
    const std::vector<ModuleInfo> modules = archive.modules(choice.moduleName);
    if (modules.empty()) {
        error = choice.moduleName ? "Archiwum nie zawiera modułu „" + *choice.moduleName + "”." : "Archiwum jest puste.";
        return std::nullopt;
    }
    if (choice.segment) {
        for (const ModuleInfo& m : modules)
            for (const SegmentInfo& s : m.segments)
                if (s.id == *choice.segment) return s.id;
        error = "Archiwum nie zawiera segmentu " + std::to_string(*choice.segment) + ".";
        return std::nullopt;
    }
    if (modules.size() > 1) {
        error = "Archiwum zawiera kilka modułów (" + std::to_string(modules.size()) + "): wskaż moduł nazwą lub segment numerem.";
        return std::nullopt;
    }
    if (modules.front().segments.empty()) {
        error = "Moduł nie ma jeszcze rekordów w archiwum.";
        return std::nullopt;
    }
    return modules.front().segments.back().id;
}

ExportOutcome exportArchive(Archive& archive, const ExportChoice& choice, const std::filesystem::path& name,
                            const LineDescriptions& descriptions, const LocalDateTime& generated) {
    ExportOutcome outcome;
    const auto segment = chooseSegment(archive, choice, outcome.error);
    if (!segment) return outcome;
    const auto status = archive.segmentStatus(*segment);
    if (!status) {
        outcome.error = "Błąd odczytu archiwum: " + archive.error();
        return outcome;
    }
    outcome.csv = csvFileName(name);
    outcome.html = htmlFileName(outcome.csv);
    ExportFiles files(descriptions, choice.printMode, choice.separateComma);
    switch (files.create(outcome.csv, outcome.html)) {
    case ExportFiles::CreateResult::CsvNotCreated: outcome.error = "Błąd otwarcia pliku CSV do zapisu."; return outcome;
    case ExportFiles::CreateResult::HtmlNotCreated: outcome.error = "Błąd otwarcia pliku HTML do zapisu."; return outcome;
    case ExportFiles::CreateResult::FilesCreated: break;
    }
    files.writeHeaders(status->lineConfiguration, status->extendedLines(), status->energyMeter(), generated);
    files.downloadStarted();
    const bool read = archive.forEach(*segment, choice.from, choice.to, [&](const ArchivedRecord& r) {
        (void)handOnRecord(files, r.frame, r.correct);
        ++outcome.records;
        return true;
    });
    if (!read) {
        // What was written so far is dropped with its temporaries: an earlier export of
        // that name stays.
        outcome.error = "Błąd odczytu archiwum: " + archive.error();
        return outcome;
    }
    files.downloadEnded(DownloadEnd::Complete);
    if (files.writeFailed()) {
        outcome.error = "Błąd zapisu plików wynikowych: dane nie zostały zapisane w całości!";
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

} // namespace kavrel::logger::archive
