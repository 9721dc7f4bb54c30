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
        Location where = locate(session, count, sink.tail());
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
        for (; holesShown < sink.holes().size(); ++holesShown)
            session.observer.message(W(holeText(sink.holes()[holesShown])), MessageIcon::Warning);
        if (sink.writeFailed()) {
            result.fetched = sink.archivedRecords();
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
