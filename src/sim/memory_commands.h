// The module's memory protocol: "HALT! DEBUG=0", the status and record requests
// "*RD_%d,%d", the speed switch "*S115!" and its end "*EOT!", "*CLR=1,0", and the
// logging period with or without the clock ("LOGT=...").
#pragma once

#include <chrono>
#include <string>

#include "common/clock.h"
#include "sim/command_set.h"
#include "sim/record_memory.h"
#include "sim/sim_options.h"

namespace kavrel::sim {

class MemoryCommands final : public CommandSet {
public:
    explicit MemoryCommands(const SimOptions& options);
    std::optional<Answer> answer(std::string_view line, Session& session) override;
    const RecordMemory& memory() const { return memory_; }

private:
    Answer status();
    Answer records(int first, int count, const Session& session);
    Answer logging(std::string_view line);
    bool strikes(const FaultShot& fault, int target, int& used);
    // Logs the records due by now (growth per second, and those a test asked for).
    void grow();

    MemoryOptions options_;
    RecordMemory memory_;
    int loggingPeriod_;
    LocalDateTime clock_{2025, 3, 7, 14, 5, 9, 5};
    std::string previousBatch_;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    long long grownBySeconds_ = 0;
    long long grownByClock_ = 0;   // records logged by the accelerated clock
    long batchRequests_ = 0;
    bool cutPending_ = false;  // the link was cut and the logger has not started anew   // requests for more than one record, over every connection
    // How often each fault has struck so far.
    int shortUsed_ = 0, longUsed_ = 0, repeatUsed_ = 0, crcUsed_ = 0, typeUsed_ = 0, lengthUsed_ = 0, dropUsed_ = 0;
    int statusAnswers_ = 0;  // status answers sent while a short-status fault is on
};

} // namespace kavrel::sim
