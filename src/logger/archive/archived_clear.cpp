#include "logger/archive/archived_clear.h"

#include "common/win1250.h"
#include "logger/archive/archive.h"
#include "logger/archive/locate.h"
#include "logger/commands/module_commands.h"
#include "logger/records/record_layout.h"

namespace kavrel::logger::archive {
namespace {

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
    if (!archive.open(file)) return refuse(session, "Błąd odczytu archiwum: " + archive.error() + ".");
    long long archived = 0;
    std::vector<std::uint8_t> newestSeen;
    if (count > 0) {
        MemoryProbe probe(session, count);
        const auto* oldest = probe.frameAt(1);
        const auto* newest = probe.frameAt(count);
        const auto oldestNumber = probe.orderNumber(1);
        const auto newestNumber = probe.orderNumber(count);
        if (!oldest || !newest || !oldestNumber || !newestNumber) {
            session.observer.message(W("Błąd odbioru danych z urządzenia!"), MessageIcon::Error);
            disconnectSession(session);
            return ArchivedClear::Failed;
        }
        const auto first = archive.findSlot(update.segment, *oldestNumber, (*oldest)[record::kKind], *oldest);
        const auto last = archive.findSlot(update.segment, *newestNumber, (*newest)[record::kKind], *newest);
        newestSeen = *newest;
        const SegmentTail tail = archive.tail(update.segment);
        if (first && last && *last >= *first) archived = *last - *first + 1;
        if (!first || !last || *last != tail.lastSeq || archived != count)
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
