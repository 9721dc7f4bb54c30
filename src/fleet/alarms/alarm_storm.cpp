// The storm control of the alarm evaluator: flapping, the groups' flushes (what each
// notification holds) and the connectivity of the fleet and of each group.
#include <algorithm>
#include <map>

#include "common/json_text.h"
#include "fleet/alarms/alarm_engine.h"

namespace kavrel::fleet::alarms {
namespace {
constexpr int kConnectivityMinimum = 3;   // fewer modules down together are single modules
} // namespace

void AlarmEngine::countChange(Module& m, std::size_t rule, long long at) {
    const StormSettings& s = rules_.storm;
    if (s.flapChanges == 0) return;
    Alert& a = m.alerts[rule];
    a.changes.push_back(at);
    while (!a.changes.empty() && a.changes.front() <= at - s.flapWindow.count()) a.changes.pop_front();
    if (!a.flapping && static_cast<int>(a.changes.size()) > s.flapChanges) {
        a.flapping = true;
        event(m, rule, "flapping", at);
        scheduleFlush(m.group, at);
    }
}

void AlarmEngine::settleFlapping(Module& m, std::size_t rule, long long now) {
    Alert& a = m.alerts[rule];
    if (!a.flapping) return;
    const StormSettings& s = rules_.storm;
    const std::size_t before = a.changes.size();
    while (!a.changes.empty() && a.changes.front() <= now - s.flapWindow.count()) a.changes.pop_front();
    if (a.changes.size() != before) a.dirty = true;
    if (static_cast<int>(a.changes.size()) * 2 > s.flapChanges) return;
    a.flapping = false;
    a.dirty = true;
    event(m, rule, "settled", now);
    scheduleFlush(m.group, now);
}

void AlarmEngine::stepConnectivity(const std::string& key, Connectivity& c, int unreachable, int members, long long at) {
    c.unreachable = unreachable;
    c.members = members;
    const bool lost = unreachable >= kConnectivityMinimum &&
                      unreachable * 100 >= rules_.storm.connectivityPercent * members;
    if (lost && !c.cond) {
        c.cond = true;
        c.since = at;
        c.dirty = true;
    } else if (!lost && c.cond) {
        c.cond = false;
        c.dirty = true;
        if (c.firing) {
            c.firing = false;
            scheduleFlush(key, at);
        }
        // The no-answer alerts held back are due for their own notifications now.
        for (auto& [k, g] : groups_)
            if (k != "*") scheduleFlush(k, at);
    }
}

void AlarmEngine::updateConnectivity(long long at) {
    if (!rules_.hasNoAnswerRule()) return;
    int down = 0, all = 0;
    std::map<std::string, std::pair<int, int>> perGroup;
    for (const Module& m : modules_) {
        // A module no longer polled (taken out of the fleet file) no longer counts.
        const long long stale = std::max<long long>(600'000, static_cast<long long>(10 * m.spacingMs));
        if (!m.seenPoll || m.lastPollMs < at - stale) continue;
        ++all;
        auto& [d, n] = perGroup[m.group];
        ++n;
        if (!m.reachable) {
            ++down;
            ++d;
        }
    }
    stepConnectivity("*", groups_["*"].conn, down, all, at);
    if (rules_.storm.groupBy.empty()) return;
    for (auto& [key, counts] : perGroup) stepConnectivity(key, groups_[key].conn, counts.first, counts.second, at);
}

std::optional<Notification> AlarmEngine::flush(const std::string& key, Group& g, long long now) {
    g.flushAt = 0;
    g.dirty = true;
    Notification n;
    n.createdMs = now;
    n.group = key == "*" ? Labels{} : g.labels;
    // The connectivity of this scope; a group's is held back while the whole fleet's is lost.
    const bool fleetLost = groups_["*"].conn.cond;
    Connectivity& c = g.conn;
    if (key == "*" || !fleetLost) {
        const int desired = c.firing ? SentProblem : SentOk;
        if (desired != c.notified) {
            AlertNote note;
            note.labels = n.group;
            note.rule = kConnectivityRule;
            note.state = c.firing ? NoteState::Problem : NoteState::Recovery;
            note.sinceMs = c.since;
            note.values = "{\"unreachable\":" + std::to_string(c.unreachable) + ",\"modules\":" + std::to_string(c.members) +
                          ",\"cause\":" +
                          jsonString(key == "*" ? "moduły floty nie odpowiadają jednocześnie: łącze tego komputera?"
                                                : "moduły grupy nie odpowiadają jednocześnie: router obiektu?") +
                          "}";
            note.readings = "{}";
            if (c.firing)
                for (const Module& m : modules_)
                    if (m.seenPoll && !m.reachable && (key == "*" || m.group == key)) note.modules.push_back(m.name);
            n.alerts.push_back(std::move(note));
            c.notified = desired;
            c.dirty = true;
        }
    }
    if (key != "*") {
        for (Module& m : modules_) {
            if (m.group != key) continue;
            for (std::size_t i = 0; i < m.alerts.size(); ++i) {
                Alert& a = m.alerts[i];
                const Rule& r = rules_.rules[i];
                const bool wasUnsent = a.firedUnsent, repeat = a.repeatDue;
                if (a.firedUnsent || a.repeatDue) a.dirty = true;
                a.firedUnsent = false;
                a.repeatDue = false;
                if (r.kind == RuleKind::NoAnswer && covered(m)) continue;
                const int desired = a.flapping ? SentFlapping : a.phase == Phase::Firing ? SentProblem : SentOk;
                auto note = [&](NoteState state, long long since) {
                    AlertNote out;
                    out.module = m.name;
                    out.labels = m.labels;
                    out.rule = r.name;
                    out.state = state;
                    out.sinceMs = since;
                    out.values = a.values.empty() ? "{}" : a.values;
                    out.readings = m.readings;
                    out.selfReported = r.selfReported();
                    n.alerts.push_back(std::move(out));
                    a.lastNotified = now;
                    a.dirty = true;
                };
                if (desired == SentFlapping) {
                    if (a.notified != SentFlapping) note(NoteState::Flapping, a.changes.empty() ? now : a.changes.front());
                } else if (a.notified == SentFlapping) {
                    note(desired == SentProblem ? NoteState::Problem : NoteState::Recovery, now);
                } else if (desired == SentProblem) {
                    if (a.notified != SentProblem || repeat) note(NoteState::Problem, a.pendingSince);
                } else if (a.notified == SentProblem) {
                    note(NoteState::Recovery, now);
                } else if (wasUnsent) {
                    // On and off again inside the group wait: both, so that nothing is lost.
                    note(NoteState::Problem, a.unsentSince);
                    note(NoteState::Recovery, now);
                }
                if (a.notified != desired) a.dirty = true;
                a.notified = desired;
            }
        }
    }
    if (n.alerts.empty()) return std::nullopt;
    return n;
}

} // namespace kavrel::fleet::alarms
