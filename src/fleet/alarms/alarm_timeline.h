// `kavrel fleet alarms`: the alarm events of the fleet database beside the events the
// modules logged themselves (the "Z" records of their collected archives), in time order.
#pragma once

#include <string>
#include <vector>

namespace kavrel::fleet::alarms {

struct TimelineEntry {
    long long timeMs = 0;
    std::string module;
    bool fromModule = false;   // the module's own event log; else the fleet's alarm
    std::string what;          // the rule or the event's name (UTF-8)
    std::string state;         // an alarm's "problem", "recovery", "flapping", "settled"
    std::string detail;        // the alarm's values (JSON), the event's text
    bool selfReported = false;
};

// `module` "" for all; an error text (UTF-8) in `error` when the database cannot be read.
std::vector<TimelineEntry> buildTimeline(const std::string& fleetDatabase, const std::string& module, long long sinceMs,
                                         std::string& error);

} // namespace kavrel::fleet::alarms
