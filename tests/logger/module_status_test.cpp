#include <gtest/gtest.h>

#include <array>

#include "logger/protocol/module_status.h"

namespace kavrel::logger {
namespace {

// A status frame as the module sends it, written out byte by byte.
std::array<std::uint8_t, kStatusFrameSize> sampleFrame(std::uint8_t flags) {
    std::array<std::uint8_t, kStatusFrameSize> f = {
        'S', 32, '3', '6',
        37, 0,                    // record length
        0x10, 0x27, 0, 0,         // 10000 records
        0,
        16,                       // geometry factor
        0x01, 0x04,               // 1025 blocks
        37,                       // fill
        flags,
        0x40, 0xC0, 0xC1, 0x43, 0x44, 0x05, 0x00, 0x86,
        15, 0,                    // period
        9, 5, 4, 7, 3, 25,        // 04:05:09 on 2025-03-07
        0, 0};
    sealFrame(f);
    return f;
}

TEST(ModuleStatus, DecodesTheFieldsAndDerivedValues) {
    const ModuleStatus s = decodeStatus(sampleFrame(0x80 | 0x08));
    EXPECT_EQ(s.recordLength, 37);
    EXPECT_EQ(s.storedRecords, 10000);
    EXPECT_EQ(s.recordCapacity(), 16 * 1024);
    EXPECT_EQ(s.recordCount(), 10000);
    EXPECT_EQ(s.memoryHours(), 15LL * 16384 / 60);
    EXPECT_TRUE(s.loggingEnabled());
    EXPECT_TRUE(s.extendedLines());
    EXPECT_FALSE(s.energyMeter());
    EXPECT_FALSE(s.cyclicBuffer());
    EXPECT_EQ(s.lineConfiguration[1], 0xC0);
    EXPECT_EQ(s.lineConfiguration[7], 0x86);
    EXPECT_EQ(s.versionText(), "V3.6");
    EXPECT_EQ(s.fillText(), "37 %");
    EXPECT_EQ(s.clockText(), "2025-03-07  4:05:09");
    EXPECT_TRUE(s.recordLengthUsable());
}

TEST(ModuleStatus, AWrappedMemoryIsReadToItsWholeCapacity) {
    const ModuleStatus s = decodeStatus(sampleFrame(0x40 | 0x04));
    EXPECT_EQ(s.storedRecords, 10000);  // what the window shows
    EXPECT_EQ(s.recordCount(), 16384);  // what a download reads
    EXPECT_TRUE(s.energyMeter());
}

TEST(ModuleStatus, LargeGeometryDoesNotOverflowTheDuration) {
    ModuleStatus s;
    s.geometryFactor = 255;
    s.geometryBlocks = 65535;
    s.loggingPeriod = 65535;
    EXPECT_EQ(s.memoryHours(), 65535LL * 255 * 65534 / 60);
    s.geometryBlocks = 0;  // no blocks at all: a capacity below zero, never a wrapped read
    EXPECT_LT(s.recordCapacity(), 0);
}

TEST(ModuleStatus, EncodeAndDecodeAgree) {
    const auto frame = sampleFrame(0xC8);
    EXPECT_EQ(encodeStatus(decodeStatus(frame)), frame);
    EXPECT_EQ(checkFrame(frame, 'S', 32, frame.size()), FrameCheck::Valid);
}

TEST(ModuleStatus, RecordLengthsTheFramesCannotCarryAreUnusable) {
    ModuleStatus s;
    for (int length : {0, 10, 128, 200, 65535}) {
        s.recordLength = static_cast<std::uint16_t>(length);
        EXPECT_FALSE(s.recordLengthUsable()) << length;
    }
    for (int length : {11, 37, 127}) {
        s.recordLength = static_cast<std::uint16_t>(length);
        EXPECT_TRUE(s.recordLengthUsable()) << length;
    }
}

} // namespace
} // namespace kavrel::logger
