#include <gtest/gtest.h>

#include <map>
#include <set>
#include <span>

#include "common/bytes.h"
#include "logger/protocol/frame.h"
#include "sim/record_memory.h"
#include "sim/sim_flags.h"

namespace kavrel::sim {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string apply(SimOptions& options, const std::string& name, const std::string& value) {
    for (const auto& flag : allSimFlags())
        if (name == flag.name) return flag.apply(options, value);
    return "no such flag";
}

TEST(SimMemoryFlags, FaultShotsTakeOnceATimesOrAlways) {
    SimOptions o;
    EXPECT_EQ(apply(o, "--crc-error", "8"), "");
    EXPECT_EQ(o.memory.faults.crcError.target, 8);
    EXPECT_EQ(o.memory.faults.crcError.times, 1);
    EXPECT_EQ(apply(o, "--wrong-type", "3:4"), "");
    EXPECT_EQ(o.memory.faults.wrongType.times, 4);
    EXPECT_EQ(apply(o, "--short-batch", "2:always"), "");
    EXPECT_EQ(o.memory.faults.shortBatch.times, -1);
    for (const char* bad : {"0", "x", "3:", "3:0", "3:sometimes", "-1"})
        EXPECT_NE(apply(o, "--repeat-batch", bad), "") << bad;
    EXPECT_EQ(o.memory.faults.repeatBatch.target, 0);  // a refused value changes nothing
}

TEST(SimMemoryFlags, LineConfigurationAndRanges) {
    SimOptions o;
    EXPECT_EQ(apply(o, "--line-config", "0x40,0xC0,0xC1,3,4,5,0,0x86"), "");
    EXPECT_EQ(o.memory.lineConfiguration[1], 0xC0);
    EXPECT_EQ(o.memory.lineConfiguration[7], 0x86);
    EXPECT_NE(apply(o, "--line-config", "1,2,3"), "");
    EXPECT_NE(apply(o, "--line-config", "1,2,3,4,5,6,7,256"), "");
    EXPECT_NE(apply(o, "--status-short", "34"), "");
    EXPECT_NE(apply(o, "--logging-period", "256"), "");
    EXPECT_EQ(apply(o, "--records", "20000"), "");
}

TEST(SimRecordMemory, EveryRecordIsAValidStampedFrameInARealisticMix) {
    MemoryOptions m;
    m.records = 300;
    m.energyMeter = true;
    const RecordMemory memory(m);
    std::map<char, int> kinds;
    for (int k = 1; k <= 300; ++k) {
        const std::string frame = memory.frame(k);
        ASSERT_EQ(frame.size(), 39u);
        EXPECT_EQ(logger::checkFrame(bytesOf(frame), 'R', 37, frame.size()), logger::FrameCheck::Valid) << k;
        EXPECT_FALSE(logger::isBlankSlot(bytesOf(frame))) << k;
        if (frame[2] != 'X') {
            EXPECT_FALSE(logger::isBlankTime(bytesOf(frame))) << k;
        }
        ++kinds[frame[2]];
    }
    EXPECT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds['P'], kinds['X']);  // every measurement has its extended lines
    EXPECT_GT(kinds['Z'], 10);
    // Past the end the memory is erased, and says so in a valid frame.
    const std::string past = memory.frame(301);
    EXPECT_TRUE(logger::isBlankSlot(bytesOf(past)));
    EXPECT_EQ(logger::checkFrame(bytesOf(past), 'R', 37, past.size()), logger::FrameCheck::Valid);
}

TEST(SimRecordMemory, HoldsEveryEventKindDegreeTextsAndEveryExtendedKind) {
    MemoryOptions m;
    m.records = 400;
    const RecordMemory memory(m);
    std::set<int> events, groupKinds;
    bool degrees = false;
    for (int k = 1; k <= memory.recordCount(); ++k) {
        const std::string f = memory.frame(k);
        if (f[2] == 'Z') {
            events.insert(static_cast<std::uint8_t>(f[11]));
            degrees = degrees || std::string(f.data() + 15, 22).find("'C") != std::string::npos;
        } else if (f[2] == 'X') {
            const auto kinds = static_cast<std::uint8_t>(f[3]);
            if (kinds == 0x80) groupKinds.insert(0x80);
            else groupKinds.insert({kinds & 0x07, (kinds >> 4) & 0x07});
        }
    }
    EXPECT_EQ(events.size(), 22u);
    EXPECT_EQ(*events.rbegin(), 21);
    EXPECT_TRUE(degrees);
    for (int kind : {0x80, 0, 1, 2, 3, 4, 5}) EXPECT_TRUE(groupKinds.count(kind)) << kind;

    // The energy meter's values change from one record to the next.
    m.energyMeter = true;
    const RecordMemory meter(m);
    std::set<std::uint16_t> voltages;
    for (int k = 1; k <= 60; ++k) {
        const std::string f = meter.frame(k);
        if (f[2] == 'X' && static_cast<std::uint8_t>(f[3]) != 0x80)
            voltages.insert(static_cast<std::uint16_t>(static_cast<std::uint8_t>(f[20]) | static_cast<std::uint8_t>(f[21]) << 8));
    }
    EXPECT_GT(voltages.size(), 5u);
    EXPECT_GE(*voltages.begin(), 2200);
}

TEST(SimRecordMemory, AWrappedMemoryHoldsWholeBlocks) {
    MemoryOptions m;
    m.records = 100;
    m.cyclic = true;
    const RecordMemory memory(m);
    EXPECT_EQ(memory.recordCount(), 112);
}

// What a collector can at best get: records read before they are overwritten are not lost;
// those overwritten unread are, numbered as they were written, with their frames still known.
TEST(SimRecordMemory, KnowsWhichRecordsItOverwroteUnread) {
    MemoryOptions m;
    m.records = 32;
    m.cyclic = true;
    m.extendedLines = false;   // every record numbered: index and number move together
    RecordMemory memory(m);
    auto numberOf = [&](int index) { return static_cast<long long>(bytes::get32le(bytesOf(memory.frame(index)), 3)); };
    const long long first = numberOf(1);
    for (int index : {1, 2, 3, 6, 7}) memory.serve(index);
    const std::string fourth = memory.frame(4);
    memory.append(10);   // overwrites positions 1 to 10: 4, 5, 8, 9, 10 unread
    ASSERT_EQ(memory.overwrittenUnread(), (std::vector<NumberRange>{{first + 3, first + 4}, {first + 7, first + 9}}));
    EXPECT_EQ(memory.numberedFrame(first + 3), fourth);
    EXPECT_EQ(memory.numberedFrame(numberOf(1)), memory.frame(1));
    EXPECT_FALSE(memory.numberedFrame(numberOf(32) + 1));
    memory.serve(2);   // the read record between two unread ones splits them
    memory.append(3);
    EXPECT_EQ(memory.overwrittenUnread(),
              (std::vector<NumberRange>{{first + 3, first + 4}, {first + 7, first + 10}, {first + 12, first + 12}}));
}

} // namespace
} // namespace kavrel::sim
