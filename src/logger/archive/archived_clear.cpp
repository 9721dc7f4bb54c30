#include "logger/archive/archived_clear.h"

#include <optional>

#include "common/bytes.h"
#include "common/win1250.h"
#include "logger/archive/archive.h"
#include "logger/archive/locate.h"
#include "logger/commands/module_commands.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {
namespace {

constexpr int kEdgeSlots = 4;   // slots looked at for a numbered record at each end of the memory

bool numbered(std::uint8_t kind) { return kind == record::kMeasurement || kind == record::kEvent; }

std::int64_t numberOf(const std::vector<std::uint8_t>& frame) {
    return static_cast<std::int32_t>(bytes::get32le(frame, record::kNumber));
}

ArchivedClear refuse(LoggerSession& session, const std::string& reason) {
    session.observer.message(W(reason + " Pamięć modułu nie została skasowana."), MessageIcon::Warning);
    return ArchivedClear::Refused;
}

bool sameMemory(const ModuleStatus& a, const ModuleStatus& b) {
    return a.storedRecords == b.storedRecords && a.recordCount() == b.recordCount() && a.fillPercent == b.fillPercent &&
           a.cyclicBuffer() == b.cyclicBuffer();
}

} // namespace

std::string groupedNumber(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    for (auto at = static_cast<long long>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), " ");
    return value < 0 ? "-" + digits : digits;
}

ArchivedClear clearArchived(LoggerSession& session, const std::filesystem::path& file, const UpdateResult& update) {
    if (!update.complete()) return refuse(session, "Pobieranie do archiwum nie zostało ukończone.");
    if (!session.link.isOpen()) return ArchivedClear::Failed;
    const int count = update.status.recordCount();

    // Counted from the file as committed, through a connection of its own.
    Archive archive;
    if (!archive.open(file, Archive::Access::ReadOnly)) return refuse(session, "Błąd odczytu archiwum: " + archive.error() + ".");
    long long archived = 0;
    std::vector<std::uint8_t> newestSeen;
    if (count > 0) {
        // The module's oldest and newest numbered records, found in the archive; the slots
        // around them (extended-line records) must be there beside them.
        MemoryProbe probe(session, count);
        int oldestAt = 0, newestAt = 0;
        bool readFailed = false;
        for (int at = 1; at <= count && at <= kEdgeSlots && !oldestAt && !readFailed; ++at) {
            const auto* frame = probe.frameAt(at);
            readFailed = !frame;
            if (frame && numbered((*frame)[record::kKind])) oldestAt = at;
        }
        for (int at = count; at >= 1 && at > count - kEdgeSlots && !newestAt && !readFailed; --at) {
            const auto* frame = probe.frameAt(at);
            readFailed = !frame;
            if (frame && numbered((*frame)[record::kKind])) newestAt = at;
        }
        if (readFailed) {
            session.observer.message(W("Błąd odbioru danych z urządzenia!"), MessageIcon::Error);
            disconnectSession(session);
            return ArchivedClear::Failed;
        }
        if (const auto* frame = probe.seen(count)) newestSeen = *frame;
        std::optional<std::int64_t> first, last;
        if (oldestAt && newestAt) {
            const auto& oldest = *probe.seen(oldestAt);
            const auto& newest = *probe.seen(newestAt);
            first = archive.findSlot(update.segment, numberOf(oldest), oldest[record::kKind], oldest);
            last = archive.findSlot(update.segment, numberOf(newest), newest[record::kKind], newest);
        }
        const SegmentTail tail = archive.tail(update.segment);
        if (first && last) {
            // From the slot of index 1 to the segment's last slot.
            const std::int64_t firstSeq = *first - (oldestAt - 1);
            if (firstSeq >= 1 && *last + (count - newestAt) == tail.lastSeq) archived = tail.lastSeq - firstSeq + 1;
        }
        if (archived != count)
            return refuse(session, "Archiwum nie zawiera wszystkich rekordów z modułu (w module: " + groupedNumber(count) +
                                       ", w archiwum: " + groupedNumber(archived) + ").");
    }

    if (!session.observer.askYesNo(
            W("Skasować " + groupedNumber(count) + " rekordów? W archiwum: " + groupedNumber(archived))))
        return ArchivedClear::Declined;

    const ModuleStatus seen = update.status;
    if (readStatus(session, kStatusSelector) != StatusResult::Ok) return ArchivedClear::Failed;
    // A wrapped memory shows the same numbers however much it logs: its newest record tells.
    bool unchanged = sameMemory(seen, session.status);
    if (unchanged && count > 0) {
        MemoryProbe again(session, count);
        const auto* newest = again.frameAt(count);
        unchanged = newest && *newest == newestSeen;
    }
    if (!unchanged) return refuse(session, "Od pobrania moduł zapisał nowe rekordy.");

    const CommandResult cleared = sendClear(session);
    (void)readStatus(session, kStatusSelector);
    return cleared == CommandResult::Confirmed ? ArchivedClear::Cleared : ArchivedClear::Failed;
}

} // namespace kavrel::logger::archive
