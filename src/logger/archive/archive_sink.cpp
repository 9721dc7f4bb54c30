#include "logger/archive/archive_sink.h"

#include <algorithm>

#include "common/bytes.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {
namespace {

bool numbered(std::uint8_t kind) { return kind == record::kMeasurement || kind == record::kEvent; }
// An erased slot or one of a kind not known: it may have held a numbered record.
bool erased(std::uint8_t kind) { return !numbered(kind) && kind != record::kExtended; }

} // namespace

ArchiveSink::ArchiveSink(Archive& archive, std::int64_t segment, SegmentTail tail)
    : archive_(archive), segment_(segment), tail_(std::move(tail)) {
    number_ = tail_.number;
    lastKind_ = tail_.lastKind;
    empty_ = tail_.empty();
    numberSeen_ = !tail_.numberedFrame.empty();
    erased_ = tail_.erasedAfter;
}

void ArchiveSink::expect(const Location& where) {
    expected_ = where;
    expecting_ = true;
}

void ArchiveSink::switchSegment(std::int64_t segment) {
    segment_ = segment;
    tail_ = {};
    number_ = 0;
    lastKind_ = 0;
    empty_ = true;
    numberSeen_ = false;
    erased_ = 0;
    pending_.clear();
}

void ArchiveSink::recordSlot(int index, std::span<const std::uint8_t> frame, bool correct) {
    if (broken_ || frame.size() <= record::kKind) return;
    const std::uint8_t kind = frame[record::kKind];
    // The first slot after a search may begin where the search saw it, skipping numbers
    // the module no longer holds.
    if (expecting_) {
        relaxed_ = index == expected_.index && !expected_.frame.empty() &&
                   std::equal(frame.begin(), frame.end(), expected_.frame.begin(), expected_.frame.end());
        expecting_ = false;
    }
    // Up to its first numbered record, a start where the search saw it is taken as it is.
    const bool whereExpected = relaxed_;
    if (numbered(kind)) relaxed_ = false;
    std::int64_t number = number_;
    bool joined = false;   // an extended-line record that completes the measurement before it
    if (numbered(kind) && frame.size() >= record::kNumber + 4) {
        const std::int64_t own = static_cast<std::int32_t>(bytes::get32le(frame, record::kNumber));
        if (!correct) {
            // A frame that kept failing its check: its number cannot be trusted, its place can.
            number = number_ + 1;
        } else if (!numberSeen_ || own == number_ + 1) {
            number = own;
        } else if ((whereExpected && own > number_) || (own > number_ + 1 && own <= number_ + 1 + erased_)) {
            // Numbers skipped where the search placed the download, or held by the erased
            // slots before this one: lost.
            pendingHoles_.push_back({number_ + 1, own - 1, noticed_});
            number = own;
        } else {
            broken_ = lostPlace_ = true;
            return;
        }
    } else if (kind == record::kExtended) {
        // An extended-line record belongs to the measurement right before it in the memory.
        // Where the download begins past a hole (or after an erased slot), that measurement
        // is lost: the record is kept on its own, never given to another measurement.
        joined = lastKind_ == record::kMeasurement && (!whereExpected || expected_.follows);
        const bool measurementLost = empty_ || whereExpected || erased(lastKind_);
        if (!joined && !measurementLost) {
            broken_ = lostPlace_ = true;
            return;
        }
    }
    ArchivedRecord r;
    r.number = number;
    r.kind = kind;
    r.correct = correct;
    r.moduleIndex = index;
    r.frame.assign(frame.begin(), frame.end());
    if (kind == record::kExtended) {
        // Its time is its measurement's; one on its own has none.
        if (joined) r.stamp = !pending_.empty() ? pending_.back().stamp : tail_.numberedStamp;
    } else {
        r.stamp = stampOf(frame);
    }
    number_ = number;
    lastKind_ = kind;
    empty_ = false;
    if (numbered(kind)) numberSeen_ = true;
    if (numbered(kind)) erased_ = 0;
    else if (erased(kind)) ++erased_;
    pending_.push_back(std::move(r));
}

void ArchiveSink::batchEnded() {
    broken_ = false;
    relaxed_ = false;
    for (Hole& hole : pendingHoles_) {
        if (!archive_.noteHole(segment_, hole)) writeFailed_ = true;
        holes_.push_back(hole);
    }
    pendingHoles_.clear();
    if (pending_.empty()) return;
    if (!archive_.append(segment_, pending_, tail_.lastSeq)) {
        writeFailed_ = true;
        pending_.clear();
        return;
    }
    // The tail follows what was committed.
    for (const ArchivedRecord& r : pending_) {
        ++tail_.lastSeq;
        tail_.lastKind = r.kind;
        if (numbered(r.kind)) {
            tail_.number = r.number;
            tail_.numberedFrame = r.frame;
            tail_.numberedIndex = r.moduleIndex;
            tail_.numberedStamp = r.stamp;
            tail_.numberedCorrect = r.correct;
            tail_.rowsAfter = 0;
            tail_.erasedAfter = 0;
        } else {
            ++tail_.rowsAfter;
            if (erased(r.kind)) ++tail_.erasedAfter;
        }
    }
    archived_ += static_cast<long long>(pending_.size());
    pending_.clear();
}

} // namespace kavrel::logger::archive
