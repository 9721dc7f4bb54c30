// A simulated fleet for the alarm tests: modules polled every 5 s on a clock the test moves,
// each poll's answer (or silence) chosen by the test, and every notification the
// evaluator makes kept for counting.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fleet/alarms/alarm_engine.h"

namespace kavrel::testing {

inline constexpr long long kPollMs = 5000;
inline constexpr long long kStartMs = 1'800'000'000'000;   // a fixed wall time

struct SimulatedFleet {
    fleet::alarms::AlarmEngine engine;
    std::vector<std::string> names;
    std::vector<fleet::alarms::Labels> labels;
    std::vector<fleet::alarms::Notification> sent;
    long long now = kStartMs;

    SimulatedFleet(const std::string& rules, int modules, int sites)
        : engine(fleet::alarms::parseRules(rules, "test")) {
        for (int i = 0; i < modules; ++i) {
            names.push_back("m" + std::to_string(i));
            labels.push_back({{"site", "obiekt-" + std::to_string(i % sites)}});
        }
    }

    // One round of polls at `now`: `reading(module)` the L3 text, or "" for no answer; then
    // the clock moves on by one poll interval.
    void round(const std::function<std::string(int)>& reading) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            fleet::alarms::PollFact f;
            f.module = names[i];
            f.labels = labels[i];
            f.atMs = now;
            const std::string value = reading(static_cast<int>(i));
            if (value.empty()) {
                f.answer = fleet::alarms::Answer::No;
            } else {
                f.answer = fleet::alarms::Answer::Yes;
                monitor::MeasurementSnapshot m;
                m.lineValue[2] = value;
                m.gsmSignal = 20;
                f.measurement = m;
            }
            engine.poll(f);
        }
        for (auto& n : engine.advance(now)) sent.push_back(std::move(n));
        now += kPollMs;
    }
    void rounds(long long durationMs, const std::function<std::string(int)>& reading) {
        for (long long end = now + durationMs; now < end;) round(reading);
    }

    // Alerts sent, by module ("" for a connectivity alert) and state.
    std::map<std::string, std::map<fleet::alarms::NoteState, int>> counts() const {
        std::map<std::string, std::map<fleet::alarms::NoteState, int>> out;
        for (const auto& n : sent)
            for (const auto& a : n.alerts) ++out[a.module][a.state];
        return out;
    }
    int alerts() const {
        int total = 0;
        for (const auto& n : sent) total += static_cast<int>(n.alerts.size());
        return total;
    }
};

} // namespace kavrel::testing
