// The one routine that writes an export's records, for the window, the command line and the
// archive alike: a source hands the records to the sink step by step (a download one batch a
// step, an archive segment in one), and the routine sees the export to its end.
#pragma once

#include <atomic>
#include <functional>

#include "common/observer.h"
#include "logger/download/download.h"
#include "logger/export/export_sink.h"

namespace kavrel::logger {

// Hands the next records to the sink. Complete: the sink was told so (downloadEnded);
// Failed: the source has shown or kept its reason, and the sink was told or its files are
// dropped with their temporaries.
using RecordSource = std::function<StepResult(RecordSink& sink)>;

enum class ExportEnd {
    Complete,     // every record is in the files
    Failed,       // the source failed
    Cancelled,    // the cancel flag was raised: the files keep what was written, as a failed download's
    WriteFailed,  // every record was handed on, but not every byte reached the files
};

// The message of WriteFailed (UTF-8).
inline constexpr const char* kExportWriteFailedText = "Błąd zapisu plików wynikowych: dane nie zostały zapisane w całości!";

// Steps the source until it ends or the cancel flag (when given) is raised, then checks the
// files. WriteFailed is told to the observer when one is given; a cancelled export says nothing.
ExportEnd writeExport(ExportSink& sink, const RecordSource& source, OperationObserver* observer = nullptr,
                      const std::atomic<bool>* cancel = nullptr);

// The source of a download from the module (started here): one batch a step, `afterBatch`
// told after each.
RecordSource downloadSource(LoggerSession& session, DownloadState& state, bool printMode,
                            std::function<void()> afterBatch = {});

} // namespace kavrel::logger
