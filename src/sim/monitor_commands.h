// "MSR?" and "MSRX?": the module's current measurements. Every "MSR?" moves the
// simulated module one poll (5 seconds) on, so readings, alarm states, outputs, GSM
// level and counters change from poll to poll in the same way on every run.
#pragma once

#include <string>

#include "sim/command_set.h"
#include "sim/sim_options.h"

namespace kavrel::sim {

class MonitorCommands final : public CommandSet {
public:
    explicit MonitorCommands(const SimOptions& options) : options_(options.monitor) {}
    std::optional<Answer> answer(std::string_view line, Session& session) override;

private:
    bool faulty() const;
    std::string measurementReply() const;
    std::string extendedReply() const;

    MonitorSimOptions options_;
    long poll_ = 0;   // "MSR?" lines answered so far
};

} // namespace kavrel::sim
