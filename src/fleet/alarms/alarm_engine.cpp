#include "fleet/alarms/alarm_engine.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "common/json_text.h"
#include "common/win1250.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet::alarms {
namespace {

constexpr long long kMinimumNoAnswerMs = 60'000;

// The leading number of a reading ("23.5°C", "-3,2 bar"); empty when there is none.
std::optional<double> readingNumber(const std::string& text) {
    std::string t = text;
    std::replace(t.begin(), t.end(), ',', '.');
    std::size_t at = 0;
    while (at < t.size() && t[at] == ' ') ++at;
    double value = 0;
    const auto [end, error] = std::from_chars(t.data() + at, t.data() + t.size(), value);
    if (error != std::errc{} || end == t.data() + at) return std::nullopt;
    return value;
}

std::string readingsJson(const monitor::MeasurementSnapshot& m) {
    std::string out = "{";
    for (int i = 0; i < monitor::kInputLines; ++i) {
        if (m.lineValue[i].empty()) continue;
        if (out.size() > 1) out += ",";
        out += "\"L" + std::to_string(i + 1) + "\":" + jsonString(cp1250::toUtf8(m.lineValue[i]));
    }
    if (out.size() > 1) out += ",";
    out += "\"gsm\":" + std::to_string(m.gsmSignal) + ",\"outputs\":" + std::to_string(m.outputs) +
           ",\"alarm\":" + std::to_string(m.alarm) + "}";
    return out;
}

std::string numberText(double v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

std::string groupKey(const Labels& labels, const std::vector<std::string>& by, Labels& chosen) {
    std::string key;
    chosen.clear();
    for (const std::string& k : by) {
        std::string value;
        for (const auto& [lk, lv] : labels)
            if (lk == k) value = lv;
        chosen.emplace_back(k, value);
        key += k + "=" + value + "\n";
    }
    return key;
}

// Tabs separate the fields of a stored row; a reading never carries one into it.
std::string noTabs(std::string text) {
    std::replace(text.begin(), text.end(), '\t', ' ');
    return text;
}

} // namespace

const char* noteStateText(NoteState state) {
    switch (state) {
    case NoteState::Problem: return "problem";
    case NoteState::Recovery: return "recovery";
    case NoteState::Flapping: return "flapping";
    }
    return "";
}

const char* noteStateLabel(NoteState state) {
    switch (state) {
    case NoteState::Problem: return "problem";
    case NoteState::Recovery: return "powrót do normy";
    case NoteState::Flapping: return "niestabilny";
    }
    return "";
}

AlarmEngine::AlarmEngine(RuleSet rules) : rules_(std::move(rules)) {
    for (const Rule& r : rules_.rules)
        if (r.kind == RuleKind::NoAnswer && r.pending) {
            connectivityPending_ = r.pending->count();
            break;
        }
}

AlarmEngine::Module& AlarmEngine::moduleNamed(const std::string& name) {
    if (const auto found = byName_.find(name); found != byName_.end()) return modules_[found->second];
    byName_.emplace(name, modules_.size());
    Module& m = modules_.emplace_back();
    m.name = name;
    m.alerts.resize(rules_.rules.size());
    placeInGroup(m, {});
    return m;
}

void AlarmEngine::placeInGroup(Module& m, const Labels& labels) {
    m.labels = labels;
    Labels chosen;
    m.group = groupKey(labels, rules_.storm.groupBy, chosen);
    groups_[m.group].labels = chosen;
}

long long AlarmEngine::pendingFor(const Module& m, const Rule& rule) const {
    if (rule.pending) return rule.pending->count();
    if (rule.kind == RuleKind::NoAnswer)
        return std::max<long long>(kMinimumNoAnswerMs, static_cast<long long>(2 * m.spacingMs));
    if (rule.kind == RuleKind::Frozen) return 3'600'000;
    return 0;
}

bool AlarmEngine::covered(const Module& m) const {
    if (const auto fleet = groups_.find("*"); fleet != groups_.end() && fleet->second.conn.cond) return true;
    if (rules_.storm.groupBy.empty()) return false;
    const auto g = groups_.find(m.group);
    return g != groups_.end() && g->second.conn.cond;
}

void AlarmEngine::scheduleFlush(const std::string& group, long long at) {
    Group& g = groups_[group];
    if (g.flushAt != 0) return;
    g.flushAt = std::max<long long>(1, at + rules_.storm.groupWait.count());
    g.dirty = true;
}

void AlarmEngine::event(const Module& m, std::size_t rule, const char* state, long long at) {
    events_.push_back({m.name, rules_.rules[rule].name, state, at, m.alerts[rule].values, rules_.rules[rule].selfReported()});
}

void AlarmEngine::fire(Module& m, std::size_t rule, long long at) {
    Alert& a = m.alerts[rule];
    a.phase = Phase::Firing;
    a.dirty = true;
    event(m, rule, "problem", at);
    if (!(rules_.rules[rule].kind == RuleKind::NoAnswer && covered(m))) {
        if (!a.firedUnsent) a.unsentSince = a.pendingSince;
        a.firedUnsent = true;
    }
    countChange(m, rule, at);
    scheduleFlush(m.group, at);
}

void AlarmEngine::recover(Module& m, std::size_t rule, long long at) {
    Alert& a = m.alerts[rule];
    a.phase = Phase::Ok;
    a.dirty = true;
    event(m, rule, "recovery", at);
    countChange(m, rule, at);
    scheduleFlush(m.group, at);
}

void AlarmEngine::evaluate(Module& m, std::size_t rule, Cond cond, long long at, std::string values) {
    if (cond == Cond::Hold) return;
    Alert& a = m.alerts[rule];
    // The values alone are not stored at every poll: the next poll after a restart brings them.
    if (!values.empty()) a.values = std::move(values);
    if (cond == Cond::True) {
        if (a.phase == Phase::Ok) {
            a.phase = Phase::Pending;
            a.pendingSince = rules_.rules[rule].kind == RuleKind::Frozen ? a.lastChange : at;
            a.cond = true;
            a.dirty = true;
        }
        if (a.phase == Phase::Pending && at - a.pendingSince >= pendingFor(m, rules_.rules[rule])) fire(m, rule, at);
        return;
    }
    if (a.cond) a.dirty = true;
    a.cond = false;
    if (a.phase == Phase::Pending) {
        a.phase = Phase::Ok;
        a.dirty = true;
    } else if (a.phase == Phase::Firing) {
        recover(m, rule, at);
    }
}

void AlarmEngine::poll(const PollFact& fact) {
    Module& m = moduleNamed(fact.module);
    if (m.labels != fact.labels) placeInGroup(m, fact.labels);
    if (fact.answer == Answer::Unknown) return;
    if (m.lastPollMs != 0 && fact.atMs > m.lastPollMs) {
        const double gap = static_cast<double>(fact.atMs - m.lastPollMs);
        m.spacingMs = m.spacingMs == 0 ? gap : 0.8 * m.spacingMs + 0.2 * gap;
    }
    m.lastPollMs = fact.atMs;
    const bool first = !m.seenPoll;   // after a restart the counts of the connectivity start anew
    m.seenPoll = true;
    const bool answered = fact.answer == Answer::Yes && fact.measurement;
    if (first || m.reachable != answered) {
        m.reachable = answered;
        updateConnectivity(fact.atMs);
    }
    if (answered) {
        m.lastAnswerMs = fact.atMs;
        m.readings = readingsJson(*fact.measurement);
    }
    for (std::size_t i = 0; i < rules_.rules.size(); ++i) {
        const Rule& r = rules_.rules[i];
        Alert& a = m.alerts[i];
        if (r.kind == RuleKind::NoAnswer) {
            evaluate(m, i, answered ? Cond::False : Cond::True, fact.atMs,
                     m.lastAnswerMs ? "{\"last_answer\":" + jsonString(utcText(WallTime(std::chrono::milliseconds(m.lastAnswerMs)))) + "}"
                                    : "{}");
            continue;
        }
        if (!answered) continue;
        const monitor::MeasurementSnapshot& s = *fact.measurement;
        const std::string lineKey = "\"L" + std::to_string(r.line + 1) + "\":";
        switch (r.kind) {
        case RuleKind::Frozen: {
            const std::string& v = s.lineValue[r.line];
            const bool same = !a.lastValue.empty() && v == a.lastValue;
            // Stored with the alert's next change (its pending period starts at lastChange).
            if (!same) {
                a.lastValue = v;
                a.lastChange = fact.atMs;
            }
            evaluate(m, i, same ? Cond::True : Cond::False, fact.atMs, "{" + lineKey + jsonString(cp1250::toUtf8(v)) + "}");
            break;
        }
        case RuleKind::Reading:
        case RuleKind::Gsm: {
            std::optional<double> v;
            std::string shown;
            if (r.kind == RuleKind::Gsm) {
                if (s.gsmSignal >= 0 && s.gsmSignal <= 31) v = s.gsmSignal;
                shown = "{\"gsm\":" + std::to_string(s.gsmSignal) + "}";
            } else {
                v = readingNumber(s.lineValue[r.line]);
                shown = "{" + lineKey + jsonString(cp1250::toUtf8(s.lineValue[r.line])) + "}";
            }
            if (!v) break;
            Cond c = Cond::Hold;
            if (r.problem.holds(*v)) c = Cond::True;
            else if (!r.recover || r.recover->holds(*v)) c = Cond::False;
            evaluate(m, i, c, fact.atMs, shown);
            break;
        }
        case RuleKind::ModuleState: {
            bool on = false;
            std::string shown;
            if (r.target == StateTarget::Line) {
                on = s.lineLow(r.line) || s.lineHigh(r.line);
                shown = "{" + lineKey + jsonString(s.lineLow(r.line) ? "LOW" : s.lineHigh(r.line) ? "HIGH" : "norma") + "}";
            } else if (r.target == StateTarget::Output) {
                on = (s.outputs >> r.line) & 1;
                shown = "{\"O" + std::to_string(r.line + 1) + "\":" + (on ? "1" : "0") + "}";
            } else {
                on = s.alarm != 0;
                shown = "{\"alarm\":" + std::to_string(s.alarm) + "}";
            }
            evaluate(m, i, on ? Cond::True : Cond::False, fact.atMs, shown);
            break;
        }
        default: break;
        }
    }
}

void AlarmEngine::job(const JobFact& fact) {
    Module& m = moduleNamed(fact.module);
    for (std::size_t i = 0; i < rules_.rules.size(); ++i) {
        const Rule& r = rules_.rules[i];
        auto threshold = [&](double v, const char* key) {
            Cond c = Cond::Hold;
            if (r.problem.holds(v)) c = Cond::True;
            else if (!r.recover || r.recover->holds(v)) c = Cond::False;
            evaluate(m, i, c, fact.atMs, std::string("{\"") + key + "\":" + numberText(v) + "}");
        };
        if (r.kind == RuleKind::Holes && fact.holes)
            evaluate(m, i, *fact.holes > 0 ? Cond::True : Cond::False, fact.atMs,
                     "{\"holes\":" + std::to_string(*fact.holes) + "}");
        else if (r.kind == RuleKind::ConfigChanged && fact.changes)
            evaluate(m, i, *fact.changes > 0 ? Cond::True : Cond::False, fact.atMs,
                     "{\"changed_fields\":" + std::to_string(*fact.changes) + "}");
        else if (r.kind == RuleKind::ClockOffset && fact.clockOffsetSeconds)
            threshold(std::fabs(*fact.clockOffsetSeconds), "clock_offset_s");
        else if (r.kind == RuleKind::MemoryFill && fact.memoryFillPercent)
            threshold(*fact.memoryFillPercent, "memory_fill_percent");
    }
}

std::vector<Notification> AlarmEngine::advance(long long nowMs) {
    const StormSettings& s = rules_.storm;
    for (Module& m : modules_)
        for (std::size_t i = 0; i < m.alerts.size(); ++i) {
            Alert& a = m.alerts[i];
            if (a.phase == Phase::Pending && a.cond && nowMs - a.pendingSince >= pendingFor(m, rules_.rules[i]))
                fire(m, i, nowMs);
            settleFlapping(m, i, nowMs);
            if (a.phase == Phase::Firing && a.notified == SentProblem && !a.flapping && s.repeat.count() > 0 &&
                !a.repeatDue && nowMs - a.lastNotified >= s.repeat.count()) {
                a.repeatDue = true;
                scheduleFlush(m.group, nowMs);
            }
        }
    for (auto& [key, g] : groups_) {
        Connectivity& c = g.conn;
        if (c.cond && !c.firing && nowMs - c.since >= connectivityPending_) {
            c.firing = true;
            c.dirty = true;
            events_.push_back({"", kConnectivityRule, "problem", nowMs,
                               "{\"unreachable\":" + std::to_string(c.unreachable) + "}", false});
            scheduleFlush(key, nowMs);
        }
    }
    std::vector<Notification> out;
    // The fleet's own connectivity first, so that its notification precedes the groups'.
    if (auto fleet = groups_.find("*"); fleet != groups_.end() && fleet->second.flushAt && fleet->second.flushAt <= nowMs)
        if (auto n = flush("*", fleet->second, nowMs)) out.push_back(std::move(*n));
    for (auto& [key, g] : groups_)
        if (key != "*" && g.flushAt && g.flushAt <= nowMs)
            if (auto n = flush(key, g, nowMs)) out.push_back(std::move(*n));
    return out;
}

std::vector<StateRow> AlarmEngine::takeDirty() {
    std::vector<StateRow> rows;
    for (Module& m : modules_)
        for (std::size_t i = 0; i < m.alerts.size(); ++i) {
            Alert& a = m.alerts[i];
            if (!a.dirty) continue;
            a.dirty = false;
            std::ostringstream t;
            t << static_cast<int>(a.phase) << ' ' << a.cond << ' ' << a.pendingSince << ' ' << a.notified << ' '
              << a.lastNotified << ' ' << a.flapping << ' ' << a.firedUnsent << ' ' << a.unsentSince << ' '
              << a.repeatDue << ' ' << a.lastChange << ' ' << a.changes.size();
            for (long long c : a.changes) t << ' ' << c;
            t << '\t' << noTabs(a.lastValue) << '\t' << a.values;
            rows.push_back({m.name, rules_.rules[i].name, t.str()});
        }
    for (auto& [key, g] : groups_) {
        if (g.dirty) {
            g.dirty = false;
            rows.push_back({"", "#group:" + key, std::to_string(g.flushAt)});
        }
        if (g.conn.dirty) {
            g.conn.dirty = false;
            std::ostringstream t;
            t << g.conn.cond << ' ' << g.conn.since << ' ' << g.conn.firing << ' ' << g.conn.notified;
            rows.push_back({"", "#conn:" + key, t.str()});
        }
    }
    return rows;
}

std::vector<AlarmEvent> AlarmEngine::takeEvents() {
    std::vector<AlarmEvent> out;
    out.swap(events_);
    return out;
}

void AlarmEngine::restore(const std::vector<StateRow>& rows) {
    for (const StateRow& row : rows) {
        if (row.module.empty() && row.rule.starts_with("#group:")) {
            groups_[row.rule.substr(7)].flushAt = std::atoll(row.text.c_str());
            continue;
        }
        if (row.module.empty() && row.rule.starts_with("#conn:")) {
            Connectivity& c = groups_[row.rule.substr(6)].conn;
            std::istringstream in(row.text);
            in >> c.cond >> c.since >> c.firing >> c.notified;
            continue;
        }
        std::size_t rule = rules_.rules.size();
        for (std::size_t i = 0; i < rules_.rules.size(); ++i)
            if (rules_.rules[i].name == row.rule) rule = i;
        if (rule == rules_.rules.size()) continue;   // a rule no longer in the file
        Module& m = moduleNamed(row.module);
        Alert& a = m.alerts[rule];
        const auto tab1 = row.text.find('\t');
        const auto tab2 = tab1 == std::string::npos ? std::string::npos : row.text.find('\t', tab1 + 1);
        std::istringstream in(row.text.substr(0, tab1));
        int phase = 0;
        std::size_t changes = 0;
        in >> phase >> a.cond >> a.pendingSince >> a.notified >> a.lastNotified >> a.flapping >> a.firedUnsent >>
            a.unsentSince >> a.repeatDue >> a.lastChange >> changes;
        a.phase = static_cast<Phase>(std::clamp(phase, 0, 2));
        for (std::size_t i = 0; i < changes && in; ++i) {
            long long c = 0;
            in >> c;
            a.changes.push_back(c);
        }
        if (tab2 != std::string::npos) {
            a.lastValue = row.text.substr(tab1 + 1, tab2 - tab1 - 1);
            a.values = row.text.substr(tab2 + 1);
        }
    }
}

} // namespace kavrel::fleet::alarms
