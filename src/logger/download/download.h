// The memory download: one batch of at most six records per step, so that a window timer
// (or a loop) drives it and the window stays alive between batches.
//
// A step requests a batch with "*RD_first,n", retries short, long and repeated replies
// (reconnecting a TCP link at the fourth and sixth attempt), re-requests single records
// whose frame fails its check, and hands the accepted records to a RecordSink.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "logger/download/record_sink.h"
#include "logger/protocol/session.h"

namespace kavrel::logger {

inline constexpr int kBatchRecords = 6;

struct DownloadState {
    int nextIndex = 0;          // records already requested and handled
    int batchSize = 0;          // records asked for in every request of this download
    int recordCount = 0;        // taken from the status when the download starts
    bool printMode = false;     // a download for printing starts at the second record
    int firstIndex = 0;         // otherwise it starts after this many records (0: the whole memory)
    bool announce = true;       // show the completion and the summary (an archive tells its own)
    bool startPending = false;
    int reRequests = 0;
    int invalidRecords = 0;     // "P" records handed on with correctness 0
    int handledRecords = 0;
    long long startTime = 0;    // calendar seconds
    // Record numbers of the frame positions of the last accepted batch. Kept from one
    // download to the next, as the module may answer a new download with an old batch.
    std::array<std::int32_t, kBatchRecords> previousNumbers{};
};

enum class StepResult { Continue, Complete, Failed };

// Prepares the next download (the export or the printing calls this, then steps).
void startDownload(DownloadState& state, bool printMode);

// One tick: one batch. On Complete the sink has finished its files and, in export mode,
// the completion message and the transfer summary were shown; on Failed the message was
// shown and the link is closed.
StepResult downloadStep(LoggerSession& session, DownloadState& state, RecordSink& sink);

// What the download did with one record: the sink's method it went to, or why not.
enum class HandOff { History, Event, OtherKind, Skipped };

// Hands one record (the first bytes of its frame) to the sink by its kind; an incorrect
// record without a valid time stamp is skipped. The download and a replay from an archive
// go through this one door, so that both write the same lines.
HandOff handOnRecord(RecordSink& sink, std::span<const std::uint8_t> frame, bool correct);

// "Transfer zakończony.\nPrzesłano ..." for a finished download.
std::string transferSummary(const DownloadState& state, long long endTime);

} // namespace kavrel::logger
