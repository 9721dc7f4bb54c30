#include "logger/device/logger_device.h"

#include <algorithm>

#include "common/win1250.h"
#include "logger/archive/archive.h"
#include "logger/archive/archive_update.h"
#include "logger/archive/archived_clear.h"
#include "logger/commands/module_commands.h"
#include "logger/export/export_names.h"
#include "logger/export/prepare_export.h"
#include "logger/export/write_export.h"

namespace kavrel::logger {

// Points the session at an operation's observer for the operation's length.
struct LoggerDevice::Using {
    Using(LoggerDevice& device, OperationObserver& observer) : forwarder(device.forwarder_) {
        forwarder.target = &observer;
    }
    ~Using() { forwarder.target = nullptr; }
    Forwarder& forwarder;
};

LoggerDevice::LoggerDevice(LineDescriptions descriptions) : descriptions_(std::move(descriptions)) {}

DeviceSnapshot LoggerDevice::snapshot() const {
    DeviceSnapshot shown;
    shown.status = session_.status;
    shown.connected = session_.connected && link_.isOpen();
    shown.linkOpen = link_.isOpen();
    shown.serialLinkOpen = link_.isOpen() && link_.isSerial();
    return shown;
}

void LoggerDevice::connect(OperationObserver& observer, const link::Connection& connection, bool fixedSpeed) {
    Using using_(*this, observer);
    session_.fixedSpeed = fixedSpeed;
    link_.setConnection(connection);
    // The observer has shown a failure; the window reads the outcome from the session.
    (void)connectSession(session_);
}

void LoggerDevice::readStatus(OperationObserver& observer) {
    Using using_(*this, observer);
    if (!link_.isOpen()) {
        observer.message(W("Brak połączenia z modułem!"), MessageIcon::Warning);
        return;
    }
    // The observer has shown a failure; the window reads the outcome from the session.
    (void)logger::readStatus(session_, kStatusSelector);
}

DownloadReport LoggerDevice::download(OperationObserver& observer, const DownloadOrder& order,
                                      const BatchProgress& progress, const std::atomic<bool>& cancel) {
    Using using_(*this, observer);
    DownloadReport report = downloadOnce(observer, order, progress, cancel);
    // The files of a broken download are closed as they are; going on writes them anew.
    while (report.outcome == DownloadOutcome::Failed && goOnAfterBreak(observer, kDownloadGoOnQuestion, cancel))
        report = downloadOnce(observer, order, progress, cancel);
    return report;
}

DownloadReport LoggerDevice::downloadOnce(OperationObserver& observer, const DownloadOrder& order,
                                          const BatchProgress& progress, const std::atomic<bool>& cancel) {
    DownloadReport report;
    report.exportFileName = order.exportFileName;

    ExportRequest request;
    request.printMode = order.printMode;
    request.separateComma = order.separateComma;
    request.folder = order.folder;
    request.chooseFile = [&order](const std::filesystem::path&) { return std::optional(order.chosenFile); };
    const FixedClock clock(order.now);
    const std::unique_ptr<ExportSink> files =
        prepareExport(session_, request, descriptions_, clock, report.exportFileName);
    if (!files) return report;

    const int total = session_.status.recordCount();
    progress(0, total);
    const RecordSource batches =
        downloadSource(session_, download_, order.printMode, [&] { progress(std::min(download_.nextIndex, total), total); });
    switch (writeExport(*files, batches, &observer, &cancel)) {
    case ExportEnd::Cancelled: report.outcome = DownloadOutcome::Cancelled; return report;
    case ExportEnd::Failed: report.outcome = DownloadOutcome::Failed; return report;
    case ExportEnd::WriteFailed: report.writeFailed = true; break;
    case ExportEnd::Complete: break;
    }
    report.outcome = DownloadOutcome::Complete;
    report.csvFile = csvFileName(report.exportFileName);
    return report;
}

void LoggerDevice::clearMemory(OperationObserver& observer) {
    Using using_(*this, observer);
    // The observer has shown the outcome (the message boxes say it).
    (void)logger::clearMemory(session_);
}

std::string archiveSummary(const archive::UpdateResult& total) {
    std::string text;
    if (total.complete()) text = archive::updateSummary(total) + ".";
    else if (total.fetched > 0 || !total.holes.empty())
        text = "Archiwum uzupełnione tylko częściowo. " + archive::updateSummary(total) + ".";
    if (text.empty()) return text;
    if (const std::string holes = archive::holesSummary(total.holes); !holes.empty()) text += "\n\n" + holes;
    if (!total.sharedName.empty()) text += "\n\n" + total.sharedName;
    return text;
}

void LoggerDevice::archive(OperationObserver& observer, const ArchiveOrder& order, const BatchProgress& progress,
                           const std::atomic<bool>& cancel) {
    Using using_(*this, observer);
    if (!link_.isOpen()) {
        observer.message(W("Brak połączenia z modułem!"), MessageIcon::Warning);
        return;
    }
    archive::Archive store;
    if (!store.open(order.file)) {
        observer.message(W("Błąd otwarcia archiwum: " + store.error()), MessageIcon::Warning);
        return;
    }
    archive::UpdateHooks hooks;
    hooks.cancel = &cancel;
    hooks.progress = progress;
    // Each hole would be a box that holds up the download until it is answered; they are
    // in the archive anyway, and the summary at the end names them.
    hooks.showAsFound = false;
    archive::UpdateResult update;
    archive::UpdateResult total;
    // A link that broke off (an adapter unplugged, a cut GPRS link) is offered again: each
    // update commits batch by batch and the next one starts where the archive ends.
    do {
        update = archive::updateArchive(session_, store, order.moduleName, systemClock(), hooks);
        archive::addLeg(total, update);
        if (cancel) return;
    } while (!update.complete() && update.error.empty() && goOnAfterBreak(observer, kArchiveGoOnQuestion, cancel));
    if (const std::string summary = archiveSummary(total); !summary.empty())
        observer.message(W(summary), total.complete() ? MessageIcon::Information : MessageIcon::Warning);
    if (order.clearAfter) (void)archive::clearArchived(session_, order.file, update);
}

bool LoggerDevice::goOnAfterBreak(OperationObserver& observer, const char* question, const std::atomic<bool>& cancel) {
    // The failure has been shown; the link is closed. Each yes connects anew (its failure
    // shown too) until the module is reached again or the user gives up.
    while (!cancel && observer.askYesNo(W(question)))
        if (connectSession(session_) == StatusResult::Ok) return true;
    return false;
}

void LoggerDevice::changeLogging(OperationObserver& observer, int periodMinutes, bool setClock, const LocalDateTime& now) {
    Using using_(*this, observer);
    // The observer has shown the outcome (the message boxes say it).
    (void)logger::changeLogging(session_, periodMinutes, setClock, FixedClock(now));
}

void LoggerDevice::end(Ending ending) {
    const bool due = ending == Ending::CloseBox ? link_.isOpen()
                                                : link_.isOpen() && link_.serialSpeed() > link::ModuleLink::kSlowSpeed;
    if (!due) return;
    endFastTransfer(link_);
}

} // namespace kavrel::logger
