// The download's records on their way into an archive segment: each batch is checked to
// continue the segment (the next number, or the extended-line record of the measurement
// before it) and committed before the next request. An erased slot is archived as the
// download reads it, and the number it held is lost; an extended-line record whose
// measurement is lost (erased, overwritten) is archived on its own, joined to nothing. A batch that does not continue it
// (the memory wrapped while it was read, another module answers) is kept back up to where
// it broke, and the download is pointed elsewhere by a new search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "logger/archive/archive.h"
#include "logger/archive/locate.h"
#include "logger/download/record_sink.h"

namespace kavrel::logger::archive {

class ArchiveSink final : public RecordSink {
public:
    ArchiveSink(Archive& archive, std::int64_t segment, SegmentTail tail);

    // A new search placed the download: the first slot may start where it found it.
    void expect(const Location& where);
    // When holes are found (local time, for the archive).
    void setNoticed(std::string when) { noticed_ = std::move(when); }
    // The download goes on in another (new, empty) segment.
    void switchSegment(std::int64_t segment);

    void historyRecord(const RecordBytes&, bool) override {}
    void eventRecord(const RecordBytes&, bool) override {}
    void recordSlot(int index, std::span<const std::uint8_t> frame, bool correct) override;
    void batchEnded() override;
    void downloadEnded(DownloadEnd) override { pending_.clear(); }

    // The last batch did not continue the segment: search again before the next one.
    bool lostPlace() const { return lostPlace_; }
    void placeFound() { lostPlace_ = false; }
    // Writing to the archive failed: the download must stop.
    bool writeFailed() const { return writeFailed_; }
    const SegmentTail& tail() const { return tail_; }
    std::int64_t segment() const { return segment_; }
    long long archivedRecords() const { return archived_; }
    // Holes found while reading, in order.
    const std::vector<Hole>& holes() const { return holes_; }

private:
    Archive& archive_;
    std::int64_t segment_;
    SegmentTail tail_;
    std::vector<ArchivedRecord> pending_;
    std::vector<Hole> pendingHoles_;
    std::vector<Hole> holes_;
    std::string noticed_;
    // State of the slots accepted so far, the batch's included.
    std::int64_t number_ = 0;
    std::uint8_t lastKind_ = 0;
    bool empty_ = true;
    bool numberSeen_ = false;   // a numbered record is archived or pending
    int erased_ = 0;            // erased slots since the last numbered record: numbers they held
    bool relaxed_ = false;      // the batch began where the search saw it
    Location expected_;
    bool expecting_ = false;
    bool broken_ = false;
    bool lostPlace_ = false;
    bool writeFailed_ = false;
    long long archived_ = 0;
};

} // namespace kavrel::logger::archive
