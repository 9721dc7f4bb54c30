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

namespace {

// One update, a phase a step: the module's status, the segment the records go on in, the
// search for the place to go on from, and the fetch of every record after it.
class ArchiveUpdate {
public:
    ArchiveUpdate(LoggerSession& session, Archive& archive, const std::string& name, const Clock& clock,
                  const UpdateHooks& hooks)
        : session_(session), archive_(archive), name_(name), clock_(clock), hooks_(hooks) {}

    UpdateResult run();

private:
    // The status before a download; false when the module cannot be updated (said).
    bool readModule();
    // The segment the records go on in: the current one, or a new one for a first update or
    // for changed lines; false when the archive failed.
    bool chooseSegment();
    bool startSegment(const std::string& reason);
    // Finds the place to go on from; none when the module could not be read.
    std::optional<Location> search(ArchiveSink& sink, int count);
    // Fetches from where on, searching again whenever the batches stop continuing the archive.
    UpdateResult fetch(ArchiveSink& sink, int count, Location where);
    UpdateResult failed() { return archiveFailed(result_, archive_, session_); }
    void finishTime() {
        result_.seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - started_).count();
    }

    LoggerSession& session_;
    Archive& archive_;
    const std::string& name_;
    const Clock& clock_;
    const UpdateHooks& hooks_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::string now_;
    UpdateResult result_;
};

UpdateResult ArchiveUpdate::run() {
    if (!readModule()) return result_;
    now_ = timeText(clock_.now());
    const auto module = archive_.module(identityOf(session_.status, name_));
    if (!module) return failed();
    result_.module = *module;
    if (!chooseSegment()) return failed();

    result_.sharedName = sharedNameNotice(archive_, identityOf(session_.status, name_), result_.segment);
    if (!result_.sharedName.empty() && hooks_.showAsFound)
        session_.observer.message(W(result_.sharedName), MessageIcon::Warning);

    const int count = session_.status.recordCount();
    if (count < 1) {
        // An empty memory (just cleared) continues nothing and ends nothing: no search.
        result_.outcome = UpdateResult::Outcome::Complete;
        finishTime();
        return result_;
    }
    ArchiveSink sink(archive_, result_.segment, archive_.tail(result_.segment));
    sink.setNoticed(now_);
    const auto where = search(sink, count);
    if (!where) {
        finishTime();
        // A search that failed with the link still open failed on the archive.
        return session_.link.isOpen() ? failed() : result_;
    }
    return fetch(sink, count, *where);
}

bool ArchiveUpdate::readModule() {
    if (!session_.link.isOpen()) {
        session_.observer.message(W("Brak połączenia z modułem!"), MessageIcon::Warning);
        return false;
    }
    if (readStatus(session_, kStatusSelectorBeforeDownload) != StatusResult::Ok) return false;
    result_.status = session_.status;
    if (!session_.status.recordLengthUsable()) {
        session_.observer.message(W("Niewłaściwa długość danych!"), MessageIcon::Error);
        disconnectSession(session_);
        return false;
    }
    return true;
}

bool ArchiveUpdate::startSegment(const std::string& reason) {
    const auto segment = archive_.newSegment(result_.module, session_.status, reason, now_);
    if (!segment) return false;
    result_.segment = *segment;
    result_.newSegments.push_back(reason);
    return true;
}

bool ArchiveUpdate::chooseSegment() {
    const auto segment = archive_.currentSegment(result_.module);
    if (!segment) return startSegment("pierwsze pobranie");
    result_.segment = *segment;
    const auto kept = archive_.segmentStatus(result_.segment);
    if (!kept || !sameLines(*kept, session_.status)) return startSegment("zmieniona konfiguracja linii");
    return true;
}

std::optional<Location> ArchiveUpdate::search(ArchiveSink& sink, int count) {
    // Committed batches are the archive's tail: the intact one is read back from it.
    const SegmentTail& tail = sink.tail();
    Location where = locate(session_, count, tail.numberedCorrect ? tail : archive_.trustedTail(result_.segment));
    ++result_.searches;
    result_.searchRequests += where.requests;
    if (where.kind == Location::Kind::Failed) {
        session_.observer.message(W("Błąd odbioru danych z urządzenia!"), MessageIcon::Error);
        disconnectSession(session_);
        return std::nullopt;
    }
    if (where.kind == Location::Kind::NewSegment) {
        const std::string reason = "nowy segment archiwum: " + where.reason;
        if (!startSegment(reason)) return std::nullopt;
        sink.switchSegment(result_.segment);
        session_.observer.message(W("Moduł nie kontynuuje rekordów z archiwum (" + where.reason +
                                    "): rekordy zapisywane są w nowym segmencie."),
                                  MessageIcon::Warning);
    }
    sink.expect(where);
    return where;
}

UpdateResult ArchiveUpdate::fetch(ArchiveSink& sink, int count, Location where) {
    DownloadState state;
    state.firstIndex = where.index - 1;
    state.announce = false;
    startDownload(state, false);
    int fruitless = 0;
    long long archivedBefore = 0;
    std::size_t holesShown = 0;
    StepResult step = StepResult::Continue;
    while (step == StepResult::Continue) {
        if (hooks_.cancel && *hooks_.cancel) break;
        const int before = state.nextIndex;
        step = downloadStep(session_, state, sink);
        if (hooks_.progress) hooks_.progress(std::min(state.nextIndex, count), count);
        if (state.nextIndex != before || step != StepResult::Continue) ++result_.batches;
        for (; hooks_.showAsFound && holesShown < sink.holes().size(); ++holesShown)
            session_.observer.message(W(holeText(sink.holes()[holesShown])), MessageIcon::Warning);
        if (sink.writeFailed()) {
            result_.fetched = sink.archivedRecords();
            result_.holes = sink.holes();
            return failed();
        }
        if (step != StepResult::Continue || !sink.lostPlace()) continue;
        // The batch did not continue the archive: the memory moved (it wrapped while being
        // read) or another module answers. Search again from what is archived now.
        sink.placeFound();
        fruitless = sink.archivedRecords() == archivedBefore ? fruitless + 1 : 0;
        archivedBefore = sink.archivedRecords();
        if (fruitless > kMostFruitlessSearches) {
            session_.observer.message(W("Pamięć modułu zmienia się szybciej, niż można ją odczytać."),
                                      MessageIcon::Error);
            break;
        }
        const auto again = search(sink, count);
        if (!again) {
            if (session_.link.isOpen()) return failed();
            break;
        }
        state.nextIndex = again->index - 1;
        state.batchSize = std::clamp(count - state.nextIndex, 1, 6);
    }
    result_.fetched = sink.archivedRecords();
    result_.holes = sink.holes();
    finishTime();
    if (step == StepResult::Complete) result_.outcome = UpdateResult::Outcome::Complete;
    return result_;
}

} // namespace

UpdateResult updateArchive(LoggerSession& session, Archive& archive, const std::string& name, const Clock& clock,
                           const UpdateHooks& hooks) {
    return ArchiveUpdate(session, archive, name, clock, hooks).run();
}

} // namespace kavrel::logger::archive
