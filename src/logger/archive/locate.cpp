#include "logger/archive/locate.h"

#include <algorithm>
#include <cstdio>
#include <variant>

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

namespace {

// One search for the place an update goes on from, a phase a step: the places known without
// a search, the bracket of the first record newer than the archive, and the check of the
// record the archive ends on.
class Locator {
public:
    Locator(LoggerSession& session, int recordCount, const SegmentTail& tail)
        : session_(session), count_(recordCount), tail_(tail), n_(tail.number), probe_(session, recordCount) {}

    Location run();

private:
    // The first index whose order number is above n lies in (lo, hi]; first is the order
    // number of index 1.
    struct Bracket {
        int lo = 0;
        int hi = 0;
        std::int64_t first = 0;
    };
    // The bracket, or where the search ends without one.
    std::variant<Location, Bracket> bracket();
    // Everything the module holds is newer than the archive.
    Location allNewer(std::int64_t first);
    // lo holds number n or the slots after it: the numbered record of lo must be the archived one.
    Location confirm(int lo);
    // lo is among the oldest slots of a wrapped memory, before its first numbered record.
    std::optional<Location> followOverwritten(int lo);

    Location finish(Location::Kind kind, int index) {
        where_.kind = kind;
        where_.index = index;
        where_.requests = probe_.requests();
        if (const auto* seen = probe_.seen(index)) where_.frame = *seen;
        return where_;
    }
    Location failed() { return finish(Location::Kind::Failed, 1); }
    Location newSegment(const char* reason) {
        where_.reason = reason;
        return finish(Location::Kind::NewSegment, 1);
    }
    // Where the archive's newest numbered record was read: the new records follow it.
    Location resumeAfter(int at) {
        where_.follows = true;
        return finish(Location::Kind::Continue, std::min(count_, at + tail_.rowsAfter) + 1);
    }

    LoggerSession& session_;
    const int count_;
    const SegmentTail& tail_;
    const std::int64_t n_;   // the archive's newest order number
    MemoryProbe probe_;
    Location where_;
};

Location Locator::run() {
    if (tail_.empty()) return finish(Location::Kind::Continue, 1);
    // Only slots without a number so far: nothing to check them by.
    if (tail_.numberedFrame.empty()) {
        where_.follows = true;
        return finish(Location::Kind::Continue, std::min(count_, tail_.rowsAfter) + 1);
    }
    // In a memory that has not wrapped since, the archive's newest numbered record is still
    // where it was read.
    if (tail_.numberedIndex >= 1 && tail_.numberedIndex <= count_) {
        const auto* frame = probe_.frameAt(tail_.numberedIndex);
        if (!frame) return failed();
        if (*frame == tail_.numberedFrame) return resumeAfter(tail_.numberedIndex);
    }
    if (count_ < 1) return newSegment("pamięć modułu jest pusta");

    const auto found = bracket();
    if (const auto* ended = std::get_if<Location>(&found)) return *ended;
    const Bracket& range = std::get<Bracket>(found);
    if (range.hi == 1) return allNewer(range.first);
    return confirm(range.lo);
}

std::variant<Location, Locator::Bracket> Locator::bracket() {
    const std::int64_t n = n_;
    const auto first = probe_.orderNumber(1);
    const auto last = probe_.orderNumber(count_);
    if (!first || !last) return failed();
    if (*last < n) return newSegment("numery rekordów w module są mniejsze niż w archiwum");
    int lo = 0, hi = count_ + 1;
    std::int64_t loNumber = 0, hiNumber = *last + 1;
    if (*first > n) {
        hi = 1;
        hiNumber = *first;
    } else if (*last <= n) {
        lo = count_;
        loNumber = *last;
    } else {
        lo = 1;
        loNumber = *first;
        hi = count_;
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
        const auto number = probe_.orderNumber(at);
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
    return Bracket{lo, hi, *first};
}

Location Locator::allNewer(std::int64_t first) {
    // The oldest record must be newer in time too, or this is another module's numbering.
    const auto* oldest = probe_.firstNumbered(1);
    const std::string stamp = oldest ? stampOf(*oldest) : std::string();
    if (!stamp.empty() && !tail_.numberedStamp.empty() && stamp < tail_.numberedStamp)
        return newSegment("rekordy w module są starsze niż w archiwum");
    // Only a memory that has wrapped overwrites records.
    if (!session_.status.cyclicBuffer() && first > n_ + 1)
        return newSegment("w niezapełnionej pamięci brak rekordów, na których kończy się archiwum");
    return finish(Location::Kind::Continue, 1);
}

Location Locator::confirm(int lo) {
    int at = lo;
    while (at >= 1 && at > lo - kWalkBack - 1) {
        const auto* frame = probe_.frameAt(at);
        if (!frame) return failed();
        if (numbered((*frame)[record::kKind])) break;
        --at;
    }
    if (at < 1 && session_.status.cyclicBuffer())
        if (auto followed = followOverwritten(lo)) return *followed;
    const auto* frame = at >= 1 && at > lo - kWalkBack - 1 ? probe_.frameAt(at) : nullptr;
    if (!frame || !numbered((*frame)[record::kKind]) || numberIn(*frame) != n_)
        return newSegment("brak w module rekordu, na którym kończy się archiwum");
    if (*frame != tail_.numberedFrame) return newSegment("rekord o tym samym numerze ma w module inną treść");
    return resumeAfter(at);
}

std::optional<Location> Locator::followOverwritten(int lo) {
    // The module's first numbered record is n + 1: the archive's newest record was
    // overwritten just now and these slots are what followed it (its extended-line record).
    // Those the archive already holds are passed over; the rest follow it.
    int nextNumbered = 0;
    for (int next = lo + 1; next <= count_ && next <= lo + kWalkBack && nextNumbered == 0; ++next) {
        const auto* slot = probe_.frameAt(next);
        if (!slot) return failed();
        if (numbered((*slot)[record::kKind]) && numberIn(*slot) == n_ + 1) nextNumbered = next;
    }
    const int followers = nextNumbered - 1;
    if (nextNumbered > 0 && (tail_.rowsAfter >= followers || (followers == 1 && tail_.rowsAfter == 0))) {
        where_.follows = true;
        return finish(Location::Kind::Continue, tail_.rowsAfter >= followers ? nextNumbered : 1);
    }
    return std::nullopt;
}

} // namespace

Location locate(LoggerSession& session, int recordCount, const SegmentTail& tail) {
    return Locator(session, recordCount, tail).run();
}

} // namespace kavrel::logger::archive
