// The alarm evaluator: a pure state machine over the facts the fleet service hears (polls,
// collections, backups) and a clock the caller passes in, so that an hour of 50 modules
// runs in milliseconds in a test. No sockets, no files: the caller persists what
// takeDirty() returns and delivers what advance() returns.
//
// Per module and rule an alert goes Ok -> Pending (the condition holds, the rule's "for"
// runs) -> Firing -> Ok (its recovery condition holds). On top of that the storm control:
//   - flapping: more state changes than the limit in the window mark the alert "flapping"
//     once; it stays quiet until the changes in the window fall to half the limit;
//   - grouping: changes wait `group-wait` in their group (by labels) and go out together as
//     one notification holding each alert's state at that moment; a problem still on is
//     repeated every `repeat`;
//   - connectivity: when most modules of the fleet (or of a group) stop answering together,
//     their no-answer alerts are held back and one notification names the cause.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fleet/alarms/alarm_rules.h"
#include "monitor/measurement.h"

namespace kavrel::fleet::alarms {

using Labels = std::vector<std::pair<std::string, std::string>>;

enum class Answer { Yes, No, Unknown };   // Unknown: not polled (busy, skipped, a local error)

struct PollFact {
    std::string module;
    Labels labels;
    long long atMs = 0;
    Answer answer = Answer::Unknown;
    std::optional<monitor::MeasurementSnapshot> measurement;   // with Answer::Yes
};

// What a collection or a backup found; fields it did not look at stay empty.
struct JobFact {
    std::string module;
    long long atMs = 0;
    std::optional<long long> holes;
    std::optional<int> changes;
    std::optional<double> clockOffsetSeconds;
    std::optional<double> memoryFillPercent;
};

enum class NoteState { Problem, Recovery, Flapping };
const char* noteStateText(NoteState state);    // "problem", "recovery", "flapping"
const char* noteStateLabel(NoteState state);   // "problem", "powrót do normy", "niestabilny"

// The rule name of the grouped notification for a lost connection.
inline constexpr const char* kConnectivityRule = "łączność";

struct AlertNote {
    std::string module;            // "" for a connectivity notification
    Labels labels;
    std::string rule;
    NoteState state = NoteState::Problem;
    long long sinceMs = 0;
    std::string values;            // a JSON object
    std::string readings;          // the module's last readings, a JSON object ("{}" when none)
    bool selfReported = false;     // the module notifies this itself
    std::vector<std::string> modules;   // a connectivity notification: the modules not answering
};

struct Notification {
    long long createdMs = 0;
    Labels group;                  // the group's labels ([] for the whole fleet)
    std::vector<AlertNote> alerts;
};

// An alert's change as the timeline shows it.
struct AlarmEvent {
    std::string module, rule, state;   // "problem", "recovery", "flapping", "settled"
    long long timeMs = 0;
    std::string values;
    bool selfReported = false;
};

// One persisted piece of state: an alert (module, rule), a group's flush time ("", "#group:KEY")
// or a connectivity scope ("", "#conn:KEY").
struct StateRow {
    std::string module, rule, text;
};

class AlarmEngine {
public:
    explicit AlarmEngine(RuleSet rules);

    // State saved by an earlier run, before the first fact.
    void restore(const std::vector<StateRow>& rows);
    void poll(const PollFact& fact);
    void job(const JobFact& fact);
    // Runs the pending periods and the storm control up to `nowMs`; the notifications due.
    std::vector<Notification> advance(long long nowMs);

    // What changed since the last call, to be stored together with advance()'s notifications.
    std::vector<StateRow> takeDirty();
    std::vector<AlarmEvent> takeEvents();

    const RuleSet& rules() const { return rules_; }

private:
    enum class Phase : std::uint8_t { Ok, Pending, Firing };
    enum Sent : int { SentOk = 0, SentProblem = 1, SentFlapping = 2 };
    enum class Cond { True, False, Hold };
    struct Alert {
        Phase phase = Phase::Ok;
        bool cond = false;
        long long pendingSince = 0;
        int notified = SentOk;
        long long lastNotified = 0;
        bool flapping = false;
        bool firedUnsent = false;   // fired (and not held back) since the last flush
        long long unsentSince = 0;
        bool repeatDue = false;
        std::deque<long long> changes;   // state changes inside the flapping window
        std::string lastValue;           // frozen: the reading last seen
        long long lastChange = 0;        // frozen: when it last changed
        std::string values;              // JSON object of what made it fire
        bool dirty = false;
    };
    struct Module {
        std::string name;
        Labels labels;
        std::string group;
        std::vector<Alert> alerts;       // by rule
        bool reachable = true;
        bool seenPoll = false;
        long long lastAnswerMs = 0;
        long long lastPollMs = 0;
        double spacingMs = 0;            // the measured time between polls
        std::string readings = "{}";
    };
    struct Connectivity {
        bool cond = false;
        long long since = 0;
        bool firing = false;
        int notified = SentOk;
        int unreachable = 0, members = 0;
        bool dirty = false;
    };
    struct Group {
        Labels labels;
        long long flushAt = 0;
        bool dirty = false;
        Connectivity conn;
    };

    Module& moduleNamed(const std::string& name);
    void placeInGroup(Module& m, const Labels& labels);
    void evaluate(Module& m, std::size_t rule, Cond cond, long long at, std::string values);
    void fire(Module& m, std::size_t rule, long long at);
    void recover(Module& m, std::size_t rule, long long at);
    void countChange(Module& m, std::size_t rule, long long at);
    void settleFlapping(Module& m, std::size_t rule, long long now);
    long long pendingFor(const Module& m, const Rule& rule) const;
    bool covered(const Module& m) const;
    void scheduleFlush(const std::string& group, long long at);
    void updateConnectivity(long long at);
    void stepConnectivity(const std::string& key, Connectivity& c, int unreachable, int members, long long at);
    std::optional<Notification> flush(const std::string& key, Group& g, long long now);
    void event(const Module& m, std::size_t rule, const char* state, long long at);

    RuleSet rules_;
    long long connectivityPending_ = 60'000;
    std::vector<Module> modules_;
    std::map<std::string, std::size_t> byName_;
    std::map<std::string, Group> groups_;   // "*" is the whole fleet's connectivity
    std::vector<AlarmEvent> events_;
};

} // namespace kavrel::fleet::alarms
