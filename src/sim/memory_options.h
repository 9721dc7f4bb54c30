// The simulated module's record memory: what it holds and how its memory protocol
// misbehaves on request.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kavrel::sim {

// A fault that strikes a given batch or record: `target` 0 switches it off; it spoils
// the first `times` answers concerned, every answer when `times` is negative.
struct FaultShot {
    int target = 0;
    int times = 1;
};

struct MemoryFaults {
    FaultShot shortBatch;     // batch k answered with half its bytes
    FaultShot longBatch;      // batch k answered with extra bytes behind it
    FaultShot repeatBatch;    // batch k answered with the frames of the batch before it
    FaultShot crcError;       // record k sent with a wrong CRC
    FaultShot wrongType;      // record k sent with another type letter than "R"
    FaultShot badLength;      // record k sent with a length byte of 0x80 or more
    int dropAtBatch = 0;      // TCP: the connection ends instead of the answer to batch k (once)
    int cutEveryBatch = 0;    // every k-th batch request cuts the link instead of its answer: a TCP
                              // reset, or the pseudo-terminal gone (and a new one at the same link path)
    bool statusSwappedCrc = false;  // the status frame carries its CRC bytes the wrong way round
    int statusShortBytes = 0;       // the status frame is cut to this many bytes (1..33)
    int statusShortAfter = 0;       // ...only from the status answer after this many on
};

struct MemoryOptions {
    int records = 0;              // records in memory (record count of a wrapped memory)
    bool cyclic = false;          // the memory has wrapped: the count is the whole capacity
    bool extendedLines = true;    // "X" records follow the "P" records
    bool energyMeter = false;     // the extended lines come from an energy meter
    int recordLength = 37;        // L of the record frames
    int loggingPeriod = 15;       // minutes
    std::vector<int> blankSlots;  // record numbers of erased slots
    bool untilNow = false;        // the last records were logged just now (else from 7 March 2025 on)
    std::array<std::uint8_t, 8> lineConfiguration{0x40, 0xC0, 0xC1, 0x43, 0x44, 0x40, 0x00, 0x00};
    MemoryFaults faults;
    // A memory that fills while it is read: records logged per second of the simulator's
    // run, and after every batch answered (deterministic, for tests).
    double growPerSecond = 0;
    // The module's clock runs this many times faster than real time: it logs a logging
    // period's records every loggingPeriod * 60 / clockSpeed real seconds (0: not at all,
    // unless --grow says so), for scenarios of a day in a minute.
    double clockSpeed = 0;
    int growPerBatch = 0;
    // After this many batch requests another module answers behind the same address.
    int replaceAfterBatches = 0;
    // Records a test asks the module to log before its next answer.
    std::shared_ptr<std::atomic<int>> pendingRecords;
    // When set, every memory request line ("*RD_...") is added to it (tests read it back).
    std::shared_ptr<std::vector<std::string>> requestLog;
};

} // namespace kavrel::sim
