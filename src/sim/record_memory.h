// The records a simulated module holds: a realistic mix of measurement ("P"),
// extended-line ("X") and event ("Z") records with valid CRCs and time stamps, built on
// demand from the record number so that large memories cost almost nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/clock.h"
#include "sim/memory_options.h"

namespace kavrel::sim {

class RecordMemory {
public:
    explicit RecordMemory(const MemoryOptions& options);

    int recordCount() const { return count_; }
    // The frame of record `number` (1-based), L + 2 bytes; past the end, or in a blank
    // slot, an erased frame.
    std::string frame(int number) const;
    // The 34-byte status frame, with the module clock given.
    std::string statusFrame(const LocalDateTime& clock, int loggingPeriod) const;

    void clear() { count_ = 0; kinds_.clear(); }

private:
    std::string erasedFrame() const;
    void fillMeasurement(std::string& f, int number) const;
    void fillExtended(std::string& f, int number) const;
    void fillEvent(std::string& f, int number) const;
    void putTime(std::string& f, int number) const;

    MemoryOptions options_;
    int count_ = 0;
    std::vector<char> kinds_;          // kind letter of each record
    std::vector<int> periodOf_;        // the logging period a record belongs to
    long long firstStamp_ = 0;         // seconds since 1970 (local time read as UTC) of period 0
};

} // namespace kavrel::sim
