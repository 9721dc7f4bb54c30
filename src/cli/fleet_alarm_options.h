// The alarm options of `kavrel fleet serve` (--alarms, --notify, --notify-secrets) and the
// `kavrel fleet alarms` timeline.
#pragma once

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "fleet/alarms/alarm_rules.h"
#include "fleet/alarms/alarm_senders.h"

namespace kavrel::cli {

struct FleetAlarmOptions {
    std::string rules;                 // --alarms RULES.txt; empty: no alarms
    std::vector<std::string> notify;   // --notify, repeatable
    std::string secrets;               // --notify-secrets FILE
};

bool isAlarmOption(const std::string& arg);
// Takes one option's value; an error text or "".
std::string takeAlarmOption(const std::string& arg, const std::string& value, FleetAlarmOptions& options);
// The options together: an error text or "".
std::string checkAlarmOptions(const FleetAlarmOptions& options);

struct PreparedAlarms {
    fleet::alarms::RuleSet rules;
    std::vector<std::unique_ptr<fleet::alarms::Sender>> senders;
};

// Reads and checks the rules file whole and makes the destinations, before any module is
// contacted; `publish` (with --mqtt) hands a retained message to the publisher. False with
// the error said.
bool prepareAlarms(CliContext& context, const FleetAlarmOptions& options,
                   std::function<void(const std::string&, const std::string&)> publish, PreparedAlarms& prepared);

int runFleetAlarms(CliContext& context, std::span<const std::string> args);

} // namespace kavrel::cli
