#include "logger/export/write_export.h"

#include "common/win1250.h"

namespace kavrel::logger {

ExportEnd writeExport(ExportSink& sink, const RecordSource& source, OperationObserver* observer,
                      const std::atomic<bool>* cancel) {
    StepResult step = StepResult::Continue;
    while (step == StepResult::Continue) {
        if (cancel && *cancel) {
            // Whoever raised it is going away: the files end as a failed download's, with
            // no more messages.
            sink.setObserver(nullptr);
            sink.downloadEnded(DownloadEnd::Failed);
            return ExportEnd::Cancelled;
        }
        step = source(sink);
    }
    if (step == StepResult::Failed) return ExportEnd::Failed;
    if (!sink.writeFailed()) return ExportEnd::Complete;
    if (observer) observer->message(W(kExportWriteFailedText), MessageIcon::Error);
    return ExportEnd::WriteFailed;
}

RecordSource downloadSource(LoggerSession& session, DownloadState& state, bool printMode, std::function<void()> afterBatch) {
    startDownload(state, printMode);
    return [&session, &state, afterBatch = std::move(afterBatch)](RecordSink& sink) {
        const StepResult step = downloadStep(session, state, sink);
        if (afterBatch) afterBatch();
        return step;
    };
}

} // namespace kavrel::logger
