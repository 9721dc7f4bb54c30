// The records a simulated module holds: a realistic mix of measurement ("P"),
// extended-line ("X") and event ("Z") records with valid CRCs and time stamps, built on
// demand from their place in the module's life so that large memories cost almost nothing.
//
// Every record the module ever wrote has a position; the memory holds the newest `count`
// of them, index 1 the oldest. Measurement and event records are numbered one after the
// other (an extended-line record carries no number); new records are appended, and once
// the capacity is full every new one overwrites the oldest, so the indexes move.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/clock.h"
#include "sim/memory_options.h"

namespace kavrel::sim {

// Record numbers first to last, both included.
struct NumberRange {
    long long first = 0;
    long long last = 0;
    bool operator==(const NumberRange&) const = default;
};

class RecordMemory {
public:
    explicit RecordMemory(const MemoryOptions& options);

    // Records logged per logging period (a measurement, its extended lines, the events between).
    int recordsPerPeriod() const;
    int recordCount() const { return static_cast<int>(written_ - oldest_); }
    int capacity() const { return static_cast<int>(capacity_); }
    bool wrapped() const { return wrapped_; }
    // The frame at `index` (1-based, 1 the oldest held), L + 2 bytes; past the end, or in
    // a blank slot, an erased frame.
    std::string frame(int index) const;
    // frame(), sent to the PC: the record counts as read, so that overwriting it later loses
    // nothing (see overwrittenUnread).
    std::string serve(int index);
    // The numbered records ("P", "Z") the memory overwrote before any request read them,
    // oldest first: what a PC collecting this module can only report as holes.
    const std::vector<NumberRange>& overwrittenUnread() const { return overwrittenUnread_; }
    // The frame of the numbered record `number` as the module wrote it, also once it is
    // overwritten; nothing for a number the module has not written (since its last clear).
    std::optional<std::string> numberedFrame(long long number) const;
    // The 34-byte status frame, with the module clock given.
    std::string statusFrame(const LocalDateTime& clock, int loggingPeriod) const;

    // The module logs `records` more records; a full memory overwrites its oldest.
    void append(int records);
    // "*CLR=1,0": the memory is empty and the numbering starts again at 1 with the next record.
    void clear();
    // Another module behind the same address: a memory as full as this one of other
    // records, numbered from 1 and dated elsewhere.
    void replaceByAnotherModule();

private:
    std::string erasedFrame() const;
    long long cycleLength() const;
    char kindAt(long long position) const;
    long long periodAt(long long position) const;       // logging period counted from period 0
    long long numberedBefore(long long position) const;  // "P" and "Z" records before a position
    // Each fills the contents of the record of a period (counted from the oldest dated one).
    void fillMeasurement(std::string& f, long long period) const;
    void fillExtended(std::string& f, long long period) const;
    void fillEvent(std::string& f, long long period) const;
    void putTime(std::string& f, long long position) const;
    std::string frameAt(long long position) const;
    long long numberAt(long long position) const;   // of a "P" or "Z" record
    // Notes the records of positions [from, to) that leave the memory unread.
    void noteOverwritten(long long from, long long to);

    MemoryOptions options_;
    long long capacity_ = 0;
    long long written_ = 0;            // positions written so far (the next record's position)
    long long oldest_ = 0;             // position of index 1
    long long numberOrigin_ = 0;       // position numbered numberBase_ (moves when the memory is cleared)
    long long numberBase_ = 1;
    long long periodOrigin_ = 0;       // period dated firstStamp_
    bool wrapped_ = false;
    long long firstStamp_ = 0;         // seconds since 1970 (local time read as UTC) of period 0
    std::map<long long, long long> read_;   // positions sent to the PC: first -> one past the last
    std::vector<NumberRange> overwrittenUnread_;
};

} // namespace kavrel::sim
