// The alarm rules file of `kavrel fleet serve --alarms RULES.txt`: one rule a line,
// "NAME CONDITION [for DURATION] [recover CONDITION]", or a "set" line for the storm
// control. The whole file is checked before any module is contacted; a bad line is refused
// with its number.
//
//   cisza        no-answer for 2m
//   zamarzniete  frozen L1 for 1h
//   zegar        clock-offset > 120s
//   pamiec       memory-fill > 80%
//   utracone     holes
//   gsm          gsm < 10 for 10m recover gsm >= 14
//   L3-wysoko    L3 > 50.0 for 5m recover L3 < 45.0
//   zmiana       config-changed
//   L1-stan      module-state L1
//   set group-by site
//   set group-wait 30s
//   set repeat 4h
//   set flapping 6 in 15m        ("set flapping off": no flapping control)
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::fleet::alarms {

enum class RuleKind {
    NoAnswer,      // the module did not answer for the pending period
    Frozen,        // a line's reading did not change for the pending period
    ClockOffset,   // the module's clock is off by more than `value` seconds
    MemoryFill,    // the module's memory is fuller than `value` percent
    Holes,         // a collection found records overwritten before they were collected
    Gsm,           // the GSM level compared with `value`
    Reading,       // a line's reading compared with `value`
    ConfigChanged, // a backup found changed fields
    ModuleState,   // a state the module reports itself: a line LOW/HIGH, an output on, its alarm
};

enum class Compare { Above, AtLeast, Below, AtMost };   // >, >=, <, <=

struct Threshold {
    Compare compare = Compare::Above;
    double value = 0;
    bool holds(double reading) const;
};

// What a module-state rule watches.
enum class StateTarget { Line, Output, AlarmFlag };

struct Rule {
    std::string name;
    RuleKind kind = RuleKind::NoAnswer;
    int line = 0;                          // L1..L8 as 0..7 (Frozen, Reading, ModuleState), O1..O6 as 0..5
    StateTarget target = StateTarget::Line;
    Threshold problem;                     // ClockOffset, MemoryFill, Gsm, Reading
    std::optional<Threshold> recover;      // empty: the problem condition no longer holding
    std::optional<std::chrono::milliseconds> pending;   // "for"; empty: the kind's default
    int sourceLine = 0;
    // A state the module notifies by itself (its own SMS): delivered only because a rule asks.
    bool selfReported() const { return kind == RuleKind::ModuleState; }
};

struct StormSettings {
    std::vector<std::string> groupBy;              // label keys; empty: the whole fleet is one group
    std::chrono::milliseconds groupWait{30'000};
    std::chrono::milliseconds repeat{4 * 3'600'000};  // zero: never repeated
    int flapChanges = 6;                           // more changes than this in flapWindow: flapping; 0: off
    std::chrono::milliseconds flapWindow{15 * 60'000};
    int connectivityPercent = 50;                  // this share of a group unreachable: one notification
};

struct RuleSet {
    std::vector<Rule> rules;
    StormSettings storm;
    std::string error;   // "FILE:LINE: what is wrong"; empty when the whole file is good
    bool hasNoAnswerRule() const;
};

RuleSet parseRules(std::string_view text, const std::string& source);
RuleSet loadRules(const std::filesystem::path& file);

// "30s", "10m", "2h", "1d" or "0s"; false for anything else.
bool parseAlarmDuration(std::string_view text, std::chrono::milliseconds& value);

} // namespace kavrel::fleet::alarms
