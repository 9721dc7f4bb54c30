#include "fleet/alarms/alarm_rules.h"

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>

namespace kavrel::fleet::alarms {
namespace {

std::vector<std::string> words(std::string_view line) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t') ++at;
        if (at > start) out.emplace_back(line.substr(start, at - start));
    }
    return out;
}

bool wholeNumber(std::string_view text, int& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

// "50.0", "-3", "120s" (when `unit` is "s"), "80%" (when `unit` is "%").
bool number(std::string_view text, double& value, std::string_view unit = {}) {
    if (!unit.empty() && text.ends_with(unit)) text.remove_suffix(unit.size());
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size();
}

bool comparison(std::string_view text, Compare& compare) {
    static constexpr std::pair<std::string_view, Compare> kWords[] = {
        {">", Compare::Above}, {">=", Compare::AtLeast}, {"<", Compare::Below}, {"<=", Compare::AtMost}};
    for (const auto& [word, c] : kWords)
        if (text == word) {
            compare = c;
            return true;
        }
    return false;
}

// "L1".."L8" into 0..7.
bool lineName(std::string_view text, char letter, int count, int& index) {
    if (text.size() < 2 || text[0] != letter) return false;
    int n = 0;
    if (!wholeNumber(text.substr(1), n) || n < 1 || n > count) return false;
    index = n - 1;
    return true;
}

// The words of one condition: "no-answer", "frozen L1", "gsm < 10", "L3 > 50.0", ...
// `recovering` parses a recover condition, which must watch what the rule watches.
std::string condition(const std::vector<std::string>& w, std::size_t& at, std::size_t end, Rule& rule, bool recovering) {
    if (at >= end) return "brak warunku";
    const std::string& head = w[at];
    auto threshold = [&](std::string_view unit, Threshold& out) -> std::string {
        if (at + 3 > end) return "oczekiwano \"" + head + " < WARTOŚĆ\" albo \"> WARTOŚĆ\"";
        if (!comparison(w[at + 1], out.compare)) return "nieznane porównanie \"" + w[at + 1] + "\" (<, <=, >, >=)";
        if (!number(w[at + 2], out.value, unit)) return "niepoprawna wartość \"" + w[at + 2] + "\"";
        at += 3;
        return "";
    };
    if (recovering) {
        // "recover gsm >= 14", "recover L3 < 45.0": the same quantity as the problem's.
        const bool same = (rule.kind == RuleKind::Gsm && head == "gsm") ||
                          (rule.kind == RuleKind::ClockOffset && head == "clock-offset") ||
                          (rule.kind == RuleKind::MemoryFill && head == "memory-fill") ||
                          (rule.kind == RuleKind::Reading && head == "L" + std::to_string(rule.line + 1));
        if (!same) return "\"recover\" musi dotyczyć tej samej wielkości co warunek, a nie \"" + head + "\"";
        Threshold t;
        const std::string_view unit = rule.kind == RuleKind::ClockOffset ? "s" : rule.kind == RuleKind::MemoryFill ? "%" : "";
        if (const std::string e = threshold(unit, t); !e.empty()) return e;
        rule.recover = t;
        return "";
    }
    struct Simple {
        std::string_view word;
        RuleKind kind;
    };
    static constexpr Simple kSimple[] = {
        {"no-answer", RuleKind::NoAnswer}, {"holes", RuleKind::Holes}, {"config-changed", RuleKind::ConfigChanged}};
    for (const auto& s : kSimple)
        if (head == s.word) {
            rule.kind = s.kind;
            ++at;
            return "";
        }
    if (head == "frozen" || head == "module-state") {
        if (at + 1 >= end) return "oczekiwano linii po \"" + head + "\" (np. L1)";
        const std::string& what = w[at + 1];
        if (head == "frozen") {
            rule.kind = RuleKind::Frozen;
            if (!lineName(what, 'L', 8, rule.line)) return "oczekiwano linii L1..L8, a nie \"" + what + "\"";
        } else {
            rule.kind = RuleKind::ModuleState;
            if (lineName(what, 'L', 8, rule.line)) rule.target = StateTarget::Line;
            else if (lineName(what, 'O', 6, rule.line)) rule.target = StateTarget::Output;
            else if (what == "alarm") rule.target = StateTarget::AlarmFlag;
            else return "oczekiwano L1..L8, O1..O6 albo alarm, a nie \"" + what + "\"";
        }
        at += 2;
        return "";
    }
    if (head == "gsm" || head == "clock-offset" || head == "memory-fill") {
        rule.kind = head == "gsm" ? RuleKind::Gsm : head == "clock-offset" ? RuleKind::ClockOffset : RuleKind::MemoryFill;
        return threshold(head == "clock-offset" ? "s" : head == "memory-fill" ? "%" : "", rule.problem);
    }
    if (lineName(head, 'L', 8, rule.line)) {
        rule.kind = RuleKind::Reading;
        return threshold("", rule.problem);
    }
    return "nieznany warunek \"" + head + "\"";
}

std::string setting(const std::vector<std::string>& w, StormSettings& storm) {
    if (w.size() < 3) return "oczekiwano \"set NAZWA WARTOŚĆ\"";
    const std::string& what = w[1];
    if (what == "group-by") {
        storm.groupBy.assign(w.begin() + 2, w.end());
        return "";
    }
    if (what == "flapping") {
        if (w.size() == 3 && w[2] == "off") {
            storm.flapChanges = 0;
            return "";
        }
        if (w.size() != 5 || w[3] != "in" || !wholeNumber(w[2], storm.flapChanges) || storm.flapChanges < 1 ||
            !parseAlarmDuration(w[4], storm.flapWindow) || storm.flapWindow.count() == 0)
            return "oczekiwano \"set flapping ZMIAN in CZAS\" (np. 6 in 15m) albo \"set flapping off\"";
        return "";
    }
    if (what == "connectivity") {
        double share = 0;
        if (w.size() != 3 || !number(w[2], share, "%") || share < 1 || share > 100)
            return "oczekiwano \"set connectivity PROCENT%\" (1..100%)";
        storm.connectivityPercent = static_cast<int>(share);
        return "";
    }
    if (what == "group-wait" || what == "repeat") {
        auto& target = what == "group-wait" ? storm.groupWait : storm.repeat;
        if (w.size() != 3 || !parseAlarmDuration(w[2], target)) return "\"" + what + "\" oczekuje czasu, np. 30s, 10m, 4h";
        return "";
    }
    return "nieznane ustawienie \"" + what + "\" (group-by, group-wait, repeat, flapping, connectivity)";
}

} // namespace

bool Threshold::holds(double reading) const {
    switch (compare) {
    case Compare::Above: return reading > value;
    case Compare::AtLeast: return reading >= value;
    case Compare::Below: return reading < value;
    case Compare::AtMost: return reading <= value;
    }
    return false;
}

bool RuleSet::hasNoAnswerRule() const {
    for (const Rule& r : rules)
        if (r.kind == RuleKind::NoAnswer) return true;
    return false;
}

bool parseAlarmDuration(std::string_view text, std::chrono::milliseconds& value) {
    if (text.size() < 2) return false;
    long long unit = 0;
    switch (text.back()) {
    case 's': unit = 1000; break;
    case 'm': unit = 60'000; break;
    case 'h': unit = 3'600'000; break;
    case 'd': unit = 86'400'000; break;
    default: return false;
    }
    long long n = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size() - 1, n);
    if (error != std::errc{} || end != text.data() + text.size() - 1 || n < 0 || n > 1'000'000) return false;
    value = std::chrono::milliseconds(n * unit);
    return true;
}

RuleSet parseRules(std::string_view text, const std::string& source) {
    RuleSet set;
    std::set<std::string> names;
    int lineNumber = 0;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        ++lineNumber;
        if (const auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto w = words(line);
        if (w.empty()) continue;
        auto fail = [&](const std::string& what) {
            set.rules.clear();
            set.error = source + ":" + std::to_string(lineNumber) + ": " + what;
            return set;
        };
        if (w[0] == "set") {
            if (const std::string e = setting(w, set.storm); !e.empty()) return fail(e);
            continue;
        }
        Rule rule;
        rule.name = w[0];
        rule.sourceLine = lineNumber;
        if (rule.name.size() > 64) return fail("nazwa reguły dłuższa niż 64 znaki");
        if (!names.insert(rule.name).second) return fail("reguła \"" + rule.name + "\" występuje dwa razy");
        std::size_t i = 1;
        // The condition runs up to "for" or "recover".
        std::size_t condEnd = i;
        while (condEnd < w.size() && w[condEnd] != "for" && w[condEnd] != "recover") ++condEnd;
        if (const std::string e = condition(w, i, condEnd, rule, false); !e.empty()) return fail(e);
        if (i != condEnd) return fail("nadmiarowe słowo \"" + w[i] + "\"");
        while (i < w.size()) {
            if (w[i] == "for") {
                std::chrono::milliseconds d{};
                if (rule.pending || i + 1 >= w.size() || !parseAlarmDuration(w[i + 1], d))
                    return fail("\"for\" oczekuje czasu, np. 30s, 10m, 2h");
                rule.pending = d;
                i += 2;
            } else if (w[i] == "recover") {
                if (rule.recover) return fail("\"recover\" podane dwa razy");
                if (rule.kind != RuleKind::Gsm && rule.kind != RuleKind::Reading && rule.kind != RuleKind::ClockOffset &&
                    rule.kind != RuleKind::MemoryFill)
                    return fail("\"recover\" pasuje tylko do reguł z wartością progową");
                ++i;
                std::size_t recEnd = i;
                while (recEnd < w.size() && w[recEnd] != "for") ++recEnd;
                if (const std::string e = condition(w, i, recEnd, rule, true); !e.empty()) return fail(e);
                if (i != recEnd) return fail("nadmiarowe słowo \"" + w[i] + "\"");
            } else {
                return fail("nieoczekiwane słowo \"" + w[i] + "\" (oczekiwano for albo recover)");
            }
        }
        set.rules.push_back(std::move(rule));
    }
    if (set.rules.empty()) set.error = source + ": brak reguł w pliku";
    return set;
}

RuleSet loadRules(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        RuleSet set;
        set.error = "nie można otworzyć " + file.string();
        return set;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parseRules(text.str(), file.string());
}

} // namespace kavrel::fleet::alarms
