#include "logger/archive/locate.h"

#include <algorithm>
#include <cstdio>

#include "common/bytes.h"
#include "logger/protocol/frame.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {
namespace {

constexpr int kProbeAttempts = 3;
constexpr int kWalkBack = 3;   // slots without a number looked past to find the record they follow

bool numbered(std::uint8_t kind) { return kind == record::kMeasurement || kind == record::kEvent; }

std::int64_t numberIn(const std::vector<std::uint8_t>& frame) {
    return static_cast<std::int32_t>(bytes::get32le(frame, record::kNumber));
}

} // namespace

const std::vector<std::uint8_t>* MemoryProbe::frameAt(int index) {
    if (index < 1 || index > count_) return nullptr;
    if (auto it = frames_.find(index); it != frames_.end()) return &it->second;
    const int length = session_.status.recordLength;
    const auto frameSize = static_cast<std::size_t>(length) + 2;
    std::vector<std::uint8_t> frame(frameSize);
    char request[48];
    std::snprintf(request, sizeof request, "*RD_%d,1", index);
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        if (!session_.link.isOpen()) return nullptr;
        ++requests_;
        const std::size_t got = session_.link.queryFixed(request, frameSize, frame);
        if (got != frameSize) continue;
        if (isBlankSlot(frame) || checkFrame(frame, kRecordType, length, frameSize) == FrameCheck::Valid)
            return &frames_.emplace(index, std::move(frame)).first->second;
    }
    return nullptr;
}

std::optional<std::int64_t> MemoryProbe::orderNumber(int index) {
    for (int at = index; at >= 1 && at > index - kWalkBack - 1; --at) {
        const auto* frame = frameAt(at);
        if (!frame) return std::nullopt;
        if (numbered((*frame)[record::kKind])) return numberIn(*frame);
    }
    // The oldest slots, before the first numbered record: they belong to the record before
    // it, which the module has overwritten.
    for (int at = index + 1; at <= count_ && at <= index + kWalkBack; ++at) {
        const auto* frame = frameAt(at);
        if (!frame) return std::nullopt;
        if (numbered((*frame)[record::kKind])) return numberIn(*frame) - 1;
    }
    return 0;
}

const std::vector<std::uint8_t>* MemoryProbe::firstNumbered(int from) {
    for (int at = from; at <= count_ && at < from + kWalkBack + 1; ++at) {
        const auto* frame = frameAt(at);
        if (!frame) return nullptr;
        if (numbered((*frame)[record::kKind])) return frame;
    }
    return nullptr;
}

Location locate(LoggerSession& session, int recordCount, const SegmentTail& tail) {
    MemoryProbe probe(session, recordCount);
    Location where;
    const auto finish = [&](Location::Kind kind, int index) {
        where.kind = kind;
        where.index = index;
        where.requests = probe.requests();
        if (const auto* seen = probe.seen(index)) where.frame = *seen;
        return where;
    };
    const auto failed = [&] { return finish(Location::Kind::Failed, 1); };
    const auto newSegment = [&](const char* reason) {
        where.reason = reason;
        return finish(Location::Kind::NewSegment, 1);
    };
    if (tail.empty()) return finish(Location::Kind::Continue, 1);
    // Only slots without a number so far: nothing to check them by.
    if (tail.numberedFrame.empty()) {
        where.follows = true;
        return finish(Location::Kind::Continue, std::min(recordCount, tail.rowsAfter) + 1);
    }
    const std::int64_t n = tail.number;

    // Where the archive's newest numbered record was read: in a memory that has not
    // wrapped since, it is still there, and the new records follow it.
    const auto resumeAfter = [&](int at) {
        where.follows = true;
        return finish(Location::Kind::Continue, std::min(recordCount, at + tail.rowsAfter) + 1);
    };
    if (tail.numberedIndex >= 1 && tail.numberedIndex <= recordCount) {
        const auto* frame = probe.frameAt(tail.numberedIndex);
        if (!frame) return failed();
        if (*frame == tail.numberedFrame) return resumeAfter(tail.numberedIndex);
    }
    if (recordCount < 1) return newSegment("pamięć modułu jest pusta");

    // The first index whose order number is above n, between lo (at most n) and hi.
    const auto first = probe.orderNumber(1);
    const auto last = probe.orderNumber(recordCount);
    if (!first || !last) return failed();
    if (*last < n) return newSegment("numery rekordów w module są mniejsze niż w archiwum");
    int lo = 0, hi = recordCount + 1;
    std::int64_t loNumber = 0, hiNumber = *last + 1;
    if (*first > n) {
        hi = 1;
        hiNumber = *first;
    } else if (*last <= n) {
        lo = recordCount;
        loNumber = *last;
    } else {
        lo = 1;
        loNumber = *first;
        hi = recordCount;
        hiNumber = *last;
    }
    bool halve = false;
    while (hi - lo > 1) {
        // Numbers run almost one to one with indexes: aim at n + 1 by the numbers at both ends.
        int at = lo + (hi - lo) / 2;
        if (!halve && hiNumber > loNumber) {
            const double share = static_cast<double>(n + 1 - loNumber) / static_cast<double>(hiNumber - loNumber);
            at = std::clamp(lo + static_cast<int>(share * (hi - lo)), lo + 1, hi - 1);
        }
        const int before = hi - lo;
        const auto number = probe.orderNumber(at);
        if (!number) return failed();
        if (*number <= n) {
            lo = at;
            loNumber = *number;
        } else {
            hi = at;
            hiNumber = *number;
        }
        // An aim that removes less than half the range twice in a row gives way to halving.
        halve = !halve && (hi - lo) * 2 > before;
    }

    if (hi == 1) {
        // Everything the module holds is newer than the archive. The oldest record must be
        // newer in time too, or this is another module's numbering.
        const auto* oldest = probe.firstNumbered(1);
        const std::string stamp = oldest ? stampOf(*oldest) : std::string();
        if (!stamp.empty() && !tail.numberedStamp.empty() && stamp < tail.numberedStamp)
            return newSegment("rekordy w module są starsze niż w archiwum");
        // Only a memory that has wrapped overwrites records.
        if (!session.status.cyclicBuffer() && *first > n + 1)
            return newSegment("w niezapełnionej pamięci brak rekordów, na których kończy się archiwum");
        return finish(Location::Kind::Continue, 1);
    }
    // lo holds number n or the slots after it: the numbered record of lo must be the archived one.
    int at = lo;
    while (at >= 1 && at > lo - kWalkBack - 1) {
        const auto* frame = probe.frameAt(at);
        if (!frame) return failed();
        if (numbered((*frame)[record::kKind])) break;
        --at;
    }
    if (at < 1 && session.status.cyclicBuffer()) {
        // lo is among the oldest slots, before the module's first numbered record, which is
        // n + 1: the archive's newest record was overwritten just now and these slots are
        // what followed it (its extended-line record). Those the archive already holds are
        // passed over; the rest follow it.
        int nextNumbered = 0;
        for (int next = lo + 1; next <= recordCount && next <= lo + kWalkBack && nextNumbered == 0; ++next) {
            const auto* slot = probe.frameAt(next);
            if (!slot) return failed();
            if (numbered((*slot)[record::kKind]) && numberIn(*slot) == n + 1) nextNumbered = next;
        }
        const int followers = nextNumbered - 1;
        if (nextNumbered > 0 && (tail.rowsAfter >= followers || (followers == 1 && tail.rowsAfter == 0))) {
            where.follows = true;
            return finish(Location::Kind::Continue, tail.rowsAfter >= followers ? nextNumbered : 1);
        }
    }
    const auto* frame = at >= 1 && at > lo - kWalkBack - 1 ? probe.frameAt(at) : nullptr;
    if (!frame || !numbered((*frame)[record::kKind]) || numberIn(*frame) != n) return newSegment("brak w module rekordu, na którym kończy się archiwum");
    if (*frame != tail.numberedFrame) return newSegment("rekord o tym samym numerze ma w module inną treść");
    return resumeAfter(at);
}

} // namespace kavrel::logger::archive
