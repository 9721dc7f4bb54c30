// "Pobierz do archiwum": downloads into an archive what it does not hold yet. Reads the
// status, finds the module and its segment, searches the memory for the first record not
// archived, then fetches from there in the download's batches, each committed before the
// next request. After a cut the next update goes on where the archive ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "logger/archive/archive.h"
#include "logger/protocol/session.h"

namespace kavrel::logger::archive {

struct UpdateResult {
    enum class Outcome {
        Complete,      // everything the status showed is archived
        Failed,        // the link failed (its message was shown) or the archive could not be written
    };
    Outcome outcome = Outcome::Failed;
    std::string error;               // UTF-8, for an archive that could not be written
    std::int64_t module = 0;
    std::int64_t segment = 0;
    ModuleStatus status;             // the status the update read before it started
    long long fetched = 0;           // records archived by this update
    int batches = 0;                 // batch requests ("*RD_n,6")
    int searchRequests = 0;          // single-record requests of the searches
    int searches = 0;
    std::vector<Hole> holes;         // found by this update
    std::vector<std::string> newSegments;  // why segments were started (UTF-8)
    // Said when the name already belongs to another module of the archive (another memory
    // or firmware): this one is kept apart under the same name (UTF-8; "" when not shared).
    std::string sharedName;
    long long seconds = 0;
    bool complete() const { return outcome == Outcome::Complete; }
};

// What a window adds to an update: a stop asked for between batches (the window closes)
// and the progress after every batch (index reached, records the module shows).
struct UpdateHooks {
    const std::atomic<bool>* cancel = nullptr;
    std::function<void(int read, int recordCount)> progress;
    // Holes and a shared name are shown through the observer as they are found; false: the
    // caller shows them from the result at the end (a window, where each message is a box
    // that would hold up the download).
    bool showAsFound = true;
};

// Downloads what is new into the archive for the module named `name`. Holes, a shared
// name and new segments are shown through the session's observer as they are found.
UpdateResult updateArchive(LoggerSession& session, Archive& archive, const std::string& name, const Clock& clock,
                           const UpdateHooks& hooks = {});

// "Utracone rekordy: 37 (nr 10412–10448)" (UTF-8).
std::string holeText(const Hole& hole);
// "Pobrano 106 rekordów w 2 s; zapytania: 18 paczek, 3 pojedyncze" (UTF-8).
std::string updateSummary(const UpdateResult& result);
// The holes of an update in a few lines: each one when there are few, else their total,
// the range and the first ones (UTF-8, lines apart by "\n"; "" when there are none).
std::string holesSummary(const std::vector<Hole>& holes);
// Several updates of one run (a link broken off and gone on with) as one: what each
// fetched and found added up, the status and segment of the last one.
void addLeg(UpdateResult& total, const UpdateResult& leg);
// "2026-12-08 14:05:09" of the local time.
std::string timeText(const LocalDateTime& t);

} // namespace kavrel::logger::archive
