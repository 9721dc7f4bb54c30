#include "logger/export/prepare_export.h"

#include "common/win1250.h"
#include "logger/export/export_names.h"

namespace kavrel::logger {

std::unique_ptr<ExportFiles> prepareExport(LoggerSession& session, const ExportRequest& request,
                                           const LineDescriptions& descriptions, const Clock& clock,
                                           std::filesystem::path& exportFileName) {
    OperationObserver& observer = session.observer;
    if (!session.link.isOpen()) {
        observer.message(W("Brak połączenia z modułem!"), MessageIcon::Warning);
        return nullptr;
    }
    if (session.status.recordCount() < 1) {
        observer.message(W("Brak danych do odczytania z modułu"), MessageIcon::Warning);
        return nullptr;
    }

    if (request.printMode) {
        exportFileName = request.folder / kPrintFileName;
    } else {
        const auto chosen = request.chooseFile ? request.chooseFile(exportFileName) : std::nullopt;
        if (!chosen) return nullptr;
        exportFileName = *chosen;
    }

    const auto csvName = csvFileName(exportFileName);
    auto files = std::make_unique<ExportFiles>(descriptions, request.printMode, request.separateComma);
    files->setObserver(&observer);
    switch (files->create(csvName, htmlFileName(csvName))) {
    case ExportFiles::CreateResult::CsvNotCreated:
        observer.message(W("Błąd otwarcia pliku CSV do zapisu."), MessageIcon::Warning);
        return nullptr;
    case ExportFiles::CreateResult::HtmlNotCreated:
        observer.message(W("Błąd otwarcia pliku HTML do zapisu."), MessageIcon::Warning);
        return nullptr;
    case ExportFiles::CreateResult::FilesCreated: break;
    }

    // The record count and the line configuration must be current. A failed read has
    // shown its message and closed the link: a download could only fail again.
    if (readStatus(session, kStatusSelectorBeforeDownload) != StatusResult::Ok) {
        files->abandon();
        return nullptr;
    }

    const ModuleStatus& status = session.status;
    files->writeHeaders(status.lineConfiguration, status.extendedLines(), status.energyMeter(), clock.now());
    return files;
}

} // namespace kavrel::logger
