// The command-line flags of the simulated record memory and its faults.
#include <charconv>
#include <string>

#include "sim/sim_flags.h"

namespace kavrel::sim {
namespace {

std::string atLeast(const std::string& text, int minimum, int maximum, int& target) {
    int value = 0;
    if (!wholeNumber(text, value) || value < minimum || value > maximum)
        return "expects a whole number from " + std::to_string(minimum) + " to " + std::to_string(maximum);
    target = value;
    return "";
}

// "K" (once), "K:N" (the first N times) or "K:always".
std::string shot(const std::string& text, FaultShot& fault) {
    const auto colon = text.find(':');
    FaultShot parsed;
    const std::string_view times = colon == std::string::npos ? std::string_view{} : std::string_view(text).substr(colon + 1);
    if (!wholeNumber(std::string_view(text).substr(0, colon), parsed.target) || parsed.target < 1 ||
        (colon != std::string::npos && times != "always" && (!wholeNumber(times, parsed.times) || parsed.times < 1)))
        return "expects K, K:N or K:always (K counted from 1)";
    if (times == "always") parsed.times = -1;
    fault = parsed;
    return "";
}

SimFlag shotFlag(const char* name, const char* help, FaultShot MemoryFaults::*member) {
    return {name, "K[:N]", help, [member](SimOptions& o, const std::string& v) { return shot(v, o.memory.faults.*member); }};
}

SimFlag switchFlag(const char* name, const char* help, bool MemoryOptions::*member, bool value) {
    return {name, nullptr, help, [member, value](SimOptions& o, const std::string&) {
                o.memory.*member = value;
                return std::string();
            }};
}

} // namespace

std::vector<SimFlag> memoryFlags() {
    return {
        {"--records", "N", "records in the memory: measurements, extended lines and events (default 0)",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 0, 16 * 65534, o.memory.records); }},
        switchFlag("--cyclic", "the memory has wrapped: a download reads its whole capacity", &MemoryOptions::cyclic, true),
        switchFlag("--energy-meter", "the extended lines come from an energy meter", &MemoryOptions::energyMeter, true),
        switchFlag("--no-extended", "no extended lines (no \"X\" records)", &MemoryOptions::extendedLines, false),
        switchFlag("--until-now", "date the records so that the last ones were logged just now (recent periods to print)",
                   &MemoryOptions::untilNow, true),
        {"--record-length", "L", "length byte of the record frames (default 37)",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 2, 65535, o.memory.recordLength); }},
        {"--logging-period", "MIN", "logging period in minutes (default 15)",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 0, 255, o.memory.loggingPeriod); }},
        {"--blank", "K", "record K is an erased slot (repeatable)",
         [](SimOptions& o, const std::string& v) {
             int k = 0;
             std::string error = atLeast(v, 1, 16 * 65534, k);
             if (error.empty()) o.memory.blankSlots.push_back(k);
             return error;
         }},
        {"--line-config", "B1,..,B8", "line configuration bytes of L1..L8 (hex or decimal)",
         [](SimOptions& o, const std::string& v) {
             std::size_t at = 0;
             for (std::size_t i = 0; i < 8; ++i) {
                 const std::size_t comma = v.find(',', at);
                 if ((comma == std::string::npos) != (i == 7)) return std::string("expects eight bytes separated by commas");
                 const std::string item = v.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
                 std::size_t used = 0;
                 unsigned long value = 0;
                 try { value = std::stoul(item, &used, 0); } catch (...) { used = 0; }
                 if (used == 0 || used != item.size() || value > 255) return std::string("expects bytes 0..255");
                 o.memory.lineConfiguration[i] = static_cast<std::uint8_t>(value);
                 at = comma + 1;
             }
             return std::string();
         }},
        shotFlag("--short-batch", "answer batch K with half its bytes (N times, default once)", &MemoryFaults::shortBatch),
        shotFlag("--long-batch", "answer batch K with extra bytes behind it", &MemoryFaults::longBatch),
        shotFlag("--repeat-batch", "answer batch K with the frames of the batch before it", &MemoryFaults::repeatBatch),
        shotFlag("--crc-error", "send record K with a wrong CRC", &MemoryFaults::crcError),
        shotFlag("--wrong-type", "send record K with another type letter", &MemoryFaults::wrongType),
        shotFlag("--bad-length", "send record K with a length byte of 0x80 or more", &MemoryFaults::badLength),
        {"--drop-at-batch", "K", "TCP: end the connection instead of answering batch K (once)",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 1, 1 << 30, o.memory.faults.dropAtBatch); }},
        {"--cut-every", "K", "cut the link instead of answering every K-th batch request (TCP reset; the pseudo-terminal "
         "goes away and comes back)",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 1, 1 << 30, o.memory.faults.cutEveryBatch); }},
        {"--grow", "N", "log N new records a second while running (a full memory wraps, overwriting its oldest)",
         [](SimOptions& o, const std::string& v) {
             int n = 0;
             std::string error = atLeast(v, 1, 100000, n);
             o.memory.growPerSecond = n;
             return error;
         }},
        {"--clock-speed", "X", "the module's clock runs X times faster than real time and the memory fills as its "
                                "logging period says (a day in a minute: 1440)",
         [](SimOptions& o, const std::string& v) {
             int n = 0;
             std::string error = atLeast(v, 1, 1000000, n);
             o.memory.clockSpeed = n;
             return error;
         }},
        {"--grow-per-batch", "N", "log N new records after every batch request answered",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 1, 1000, o.memory.growPerBatch); }},
        {"--another-module-after", "K", "from the K-th batch request on, another module answers behind the same address",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 1, 1 << 30, o.memory.replaceAfterBatches); }},
        {"--status-swapped-crc", nullptr, "send the status with its CRC bytes swapped",
         [](SimOptions& o, const std::string&) { o.memory.faults.statusSwappedCrc = true; return std::string(); }},
        {"--status-short", "N", "send only the first N bytes (1..33) of the status",
         [](SimOptions& o, const std::string& v) { return atLeast(v, 1, 33, o.memory.faults.statusShortBytes); }},
    };
}

} // namespace kavrel::sim
