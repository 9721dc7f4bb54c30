#include "logger/archive/archive_update.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <cstdio>

#include "common/win1250.h"
#include "logger/archive/archive_sink.h"
#include "logger/archive/locate.h"
#include "logger/download/download.h"

namespace kavrel::logger::archive {
namespace {

// A memory that moves under every batch (logging faster than it can be read) is given up
// after this many searches that fetched nothing.
constexpr int kMostFruitlessSearches = 8;

bool sameLines(const ModuleStatus& a, const ModuleStatus& b) {
    constexpr std::uint8_t kColumnFlags = status_flags::kExtendedLines | status_flags::kEnergyMeter;
    return a.lineConfiguration == b.lineConfiguration && (a.flags & kColumnFlags) == (b.flags & kColumnFlags);
}

// Modules of this name whose memory or firmware differs: the module being updated is a
// module of its own beside them, which only a segment number picks out later.
std::string sharedNameNotice(Archive& archive, const ModuleIdentity& identity, std::int64_t segment) {
    std::string others;
    for (const ModuleInfo& other : archive.modules(identity.name)) {
        if (other.identity == identity) continue;
        others += (others.empty() ? "" : "; ") + identityText(other.identity);
    }
    if (others.empty()) return "";
    const std::string name = identity.name.empty() ? "(bez nazwy)" : "„" + identity.name + "”";
    return "Nazwa " + name + " należy w archiwum już do innego modułu (" + others + "). Ten moduł (" +
           identityText(identity) + ") jest zapisywany osobno, w segmencie " + std::to_string(segment) +
           "; wykres, wydruk i eksport z archiwum wskazują go numerem segmentu (--segment " + std::to_string(segment) +
           ").";
}

UpdateResult archiveFailed(UpdateResult result, const Archive& archive, LoggerSession& session) {
    result.outcome = UpdateResult::Outcome::Failed;
    result.error = "Błąd zapisu archiwum: " + archive.error();
    session.observer.message(W(result.error), MessageIcon::Error);
    return result;
}

} // namespace

std::string timeText(const LocalDateTime& t) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

std::string holeText(const Hole& hole) {
    char text[96];
    if (hole.first == hole.last)
        std::snprintf(text, sizeof text, "Utracone rekordy: 1 (nr %lld)", static_cast<long long>(hole.first));
    else
        std::snprintf(text, sizeof text, "Utracone rekordy: %lld (nr %lld–%lld)", static_cast<long long>(hole.count()),
                      static_cast<long long>(hole.first), static_cast<long long>(hole.last));
    return text;
}

std::string updateSummary(const UpdateResult& r) {
    char text[160];
    std::snprintf(text, sizeof text, "Pobrano %lld rekordów w %lld s; zapytania: %d paczek, %d pojedynczych", r.fetched,
                  r.seconds, r.batches, r.searchRequests);
    return text;
}

std::string holesSummary(const std::vector<Hole>& holes) {
    constexpr std::size_t kListed = 5;
    std::string text;
    if (holes.size() > kListed) {
        long long lost = 0;
        std::int64_t first = holes.front().first, last = holes.front().last;
        for (const Hole& hole : holes) {
            lost += hole.count();
            first = std::min(first, hole.first);
            last = std::max(last, hole.last);
        }
        text = "Utracone rekordy: " + std::to_string(lost) + " w " + std::to_string(holes.size()) + " lukach (nr " +
               std::to_string(first) + "–" + std::to_string(last) + "), pierwsze z nich:\n";
    }
    for (std::size_t i = 0; i < holes.size() && i < kListed; ++i) text += (i ? "\n" : "") + holeText(holes[i]);
    return text;
}

void addLeg(UpdateResult& total, const UpdateResult& leg) {
    const long long fetched = total.fetched + leg.fetched;
    const int batches = total.batches + leg.batches, searchRequests = total.searchRequests + leg.searchRequests;
    const int searches = total.searches + leg.searches;
    const long long seconds = total.seconds + leg.seconds;
    std::vector<Hole> holes = std::move(total.holes);
    holes.insert(holes.end(), leg.holes.begin(), leg.holes.end());
    std::vector<std::string> newSegments = std::move(total.newSegments);
    newSegments.insert(newSegments.end(), leg.newSegments.begin(), leg.newSegments.end());
    const std::string sharedName = leg.sharedName.empty() ? total.sharedName : leg.sharedName;
    total = leg;
    total.fetched = fetched;
    total.batches = batches;
    total.searchRequests = searchRequests;
    total.searches = searches;
    total.seconds = seconds;
    total.holes = std::move(holes);
    total.newSegments = std::move(newSegments);
    total.sharedName = sharedName;
}

UpdateResult updateArchive(LoggerSession& session, Archive& archive, const std::string& name, const Clock& clock,
                           const UpdateHooks& hooks) {
    UpdateResult result;
    const auto started = std::chrono::steady_clock::now();
    const auto finishTime = [&] {
        result.seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started).count();
    };
    if (!session.link.isOpen()) {
        session.observer.message(W("Brak połączenia z modułem!"), MessageIcon::Warning);
        return result;
    }
    if (readStatus(session, kStatusSelectorBeforeDownload) != StatusResult::Ok) return result;
    result.status = session.status;
    if (!session.status.recordLengthUsable()) {
        session.observer.message(W("Niewłaściwa długość danych!"), MessageIcon::Error);
        disconnectSession(session);
        return result;
    }
    const std::string now = timeText(clock.now());

    const auto module = archive.module(identityOf(session.status, name));
    if (!module) return archiveFailed(result, archive, session);
    result.module = *module;
    const auto startSegment = [&](const std::string& reason) -> bool {
        const auto segment = archive.newSegment(result.module, session.status, reason, now);
        if (!segment) return false;
        result.segment = *segment;
        result.newSegments.push_back(reason);
        return true;
    };
    const auto segment = archive.currentSegment(result.module);
    if (!segment) {
        if (!startSegment("pierwsze pobranie")) return archiveFailed(result, archive, session);
    } else {
        result.segment = *segment;
        const auto kept = archive.segmentStatus(result.segment);
        if (!kept || !sameLines(*kept, session.status)) {
            if (!startSegment("zmieniona konfiguracja linii")) return archiveFailed(result, archive, session);
        }
    }

    result.sharedName = sharedNameNotice(archive, identityOf(session.status, name), result.segment);
    if (!result.sharedName.empty() && hooks.showAsFound) session.observer.message(W(result.sharedName), MessageIcon::Warning);

    const int count = session.status.recordCount();
    if (count < 1) {
        // An empty memory (just cleared) continues nothing and ends nothing: no search.
        result.outcome = UpdateResult::Outcome::Complete;
        finishTime();
        return result;
    }
    ArchiveSink sink(archive, result.segment, archive.tail(result.segment));
    sink.setNoticed(now);
    // Finds the place to go on from; false when the module could not be read.
    const auto search = [&]() -> std::optional<Location> {
        // Committed batches are the archive's tail: the intact one is read back from it.
        const SegmentTail& tail = sink.tail();
        Location where = locate(session, count, tail.numberedCorrect ? tail : archive.trustedTail(result.segment));
        ++result.searches;
        result.searchRequests += where.requests;
        if (where.kind == Location::Kind::Failed) {
            session.observer.message(W("Błąd odbioru danych z urządzenia!"), MessageIcon::Error);
            disconnectSession(session);
            return std::nullopt;
        }
        if (where.kind == Location::Kind::NewSegment) {
            const std::string reason = "nowy segment archiwum: " + where.reason;
            if (!startSegment(reason)) return std::nullopt;
            sink.switchSegment(result.segment);
            session.observer.message(W("Moduł nie kontynuuje rekordów z archiwum (" + where.reason +
                                       "): rekordy zapisywane są w nowym segmencie."),
                                     MessageIcon::Warning);
        }
        sink.expect(where);
        return where;
    };

    auto where = search();
    if (!where) {
        finishTime();
        // A search that failed with the link still open failed on the archive.
        return session.link.isOpen() ? archiveFailed(result, archive, session) : result;
    }

    DownloadState state;
    state.firstIndex = where->index - 1;
    state.announce = false;
    startDownload(state, false);
    int fruitless = 0;
    long long archivedBefore = 0;
    std::size_t holesShown = 0;
    StepResult step = StepResult::Continue;
    while (step == StepResult::Continue) {
        if (hooks.cancel && *hooks.cancel) break;
        const int before = state.nextIndex;
        step = downloadStep(session, state, sink);
        if (hooks.progress) hooks.progress(std::min(state.nextIndex, count), count);
        if (state.nextIndex != before || step != StepResult::Continue) ++result.batches;
        for (; hooks.showAsFound && holesShown < sink.holes().size(); ++holesShown)
            session.observer.message(W(holeText(sink.holes()[holesShown])), MessageIcon::Warning);
        if (sink.writeFailed()) {
            result.fetched = sink.archivedRecords();
            result.holes = sink.holes();
            return archiveFailed(result, archive, session);
        }
        if (step != StepResult::Continue || !sink.lostPlace()) continue;
        // The batch did not continue the archive: the memory moved (it wrapped while being
        // read) or another module answers. Search again from what is archived now.
        sink.placeFound();
        fruitless = sink.archivedRecords() == archivedBefore ? fruitless + 1 : 0;
        archivedBefore = sink.archivedRecords();
        if (fruitless > kMostFruitlessSearches) {
            session.observer.message(W("Pamięć modułu zmienia się szybciej, niż można ją odczytać."), MessageIcon::Error);
            break;
        }
        where = search();
        if (!where) {
            if (session.link.isOpen()) return archiveFailed(result, archive, session);
            break;
        }
        state.nextIndex = where->index - 1;
        state.batchSize = std::clamp(count - state.nextIndex, 1, 6);
    }
    result.fetched = sink.archivedRecords();
    result.holes = sink.holes();
    finishTime();
    if (step == StepResult::Complete) result.outcome = UpdateResult::Outcome::Complete;
    return result;
}

} // namespace kavrel::logger::archive
