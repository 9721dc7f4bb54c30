#include "logger/export/prepare_export.h"

#include "common/win1250.h"
#include "logger/export/export_names.h"

namespace kavrel::logger {

std::unique_ptr<ExportSink> prepareExport(LoggerSession& session, const ExportRequest& request,
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

    std::unique_ptr<ExportSink> files =
        makeExportSink(request.format, descriptions, 
                       {.printMode = request.printMode, .separateComma = request.separateComma, .dialect = request.dialect});
    files->setObserver(&observer);
    if (const std::string failure = files->createFiles(exportFileName); !failure.empty()) {
        observer.message(W(failure), MessageIcon::Warning);
        return nullptr;
    }

    // The record count and the line configuration must be current. A failed read has
    // shown its message and closed the link: a download could only fail again.
    if (readStatus(session, kStatusSelectorBeforeDownload) != StatusResult::Ok) {
        files->abandon();
        return nullptr;
    }

    const ModuleStatus& status = session.status;
    ExportSource source;
    source.status = status;
    files->describeSource(source);
    files->writeHeaders({status.lineConfiguration, status.extendedLines(), status.energyMeter()}, clock.now());
    return files;
}

} // namespace kavrel::logger
