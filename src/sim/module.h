// The simulated module: its command sets and the faults that apply to every answer.
#pragma once

#include <fstream>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "sim/command_set.h"
#include "sim/record_memory.h"
#include "sim/sim_options.h"

namespace kavrel::sim {

class MemoryCommands;

class SimModule {
public:
    explicit SimModule(SimOptions options);
    ~SimModule();

    // The answer to one received line. Unknown lines are ignored, as the module does.
    Answer answer(std::string_view line, Session& session);

    const SimOptions& options() const { return options_; }
    // Faults can be switched while the module runs (tests); applies from the next line.
    void setFaults(const LinkFaults& faults);
    LinkFaults faults() const;
    // False when the options name a line log that could not be opened.
    bool lineLogOpen() const { return options_.lineLogFile.empty() || lineLogFile_.is_open(); }
    // The memory's own account, for tests that hold a collector to it: the numbered records
    // it overwrote before anyone read them, and any record's frame as it was written.
    std::vector<NumberRange> overwrittenUnread() const;
    std::optional<std::string> numberedFrame(long long number) const;

private:
    SimOptions options_;
    long writeCommands_ = 0;   // commands of configuration writes taken so far
    long linesReceived_ = 0;   // over every connection: a module waking up ignores its first lines
    bool cutDone_ = false;
    std::vector<std::unique_ptr<CommandSet>> sets_;
    const MemoryCommands* memory_ = nullptr;   // one of sets_
    std::ofstream lineLogFile_;
    mutable std::mutex mutex_;
};

} // namespace kavrel::sim
