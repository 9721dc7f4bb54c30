// Where a download hands the records it accepted. The export writes "P" and "X" records
// to the history CSV and "Z" records to the event HTML; printing writes the CSV only;
// tests record what arrives. The download owns neither file: it only says when records
// come and how the download ended.
#pragma once

#include <cstdint>
#include <span>

#include "logger/records/record_bytes.h"

namespace kavrel::logger {

enum class DownloadEnd {
    Complete,  // every record was read: the files are finished (the HTML gets its closing tags)
    Failed,    // the download stopped on an error: the files are closed as far as they were written
};

class RecordSink {
public:
    virtual ~RecordSink() = default;

    // A download starts: forget what a previous one left (an open CSV line, last flags).
    virtual void downloadStarted() {}
    // A "P" (measurement) or "X" (extended lines) record, in memory order. correct is
    // false for a record whose CRC still failed after the re-requests.
    virtual void historyRecord(const RecordBytes& record, bool correct) = 0;
    // A "Z" (event) record, in memory order.
    virtual void eventRecord(const RecordBytes& record, bool correct) = 0;
    // Every slot of a batch up to the record count, before the kinds are sorted out: its
    // index in the memory (1 the oldest) and its frame exactly as received (L + 2 bytes).
    virtual void recordSlot(int index, std::span<const std::uint8_t> frame, bool correct) {
        (void)index, (void)frame, (void)correct;
    }
    // A batch was handed on in full (an archive commits it here).
    virtual void batchEnded() {}
    // The download ended; called exactly once per started download.
    virtual void downloadEnded(DownloadEnd end) = 0;
};

} // namespace kavrel::logger
