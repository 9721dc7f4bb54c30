#include <gtest/gtest.h>

#include <array>

#include "logger/records/record_time.h"

using namespace kavrel::logger;

TEST(RecordTime, UnpacksEveryFieldFromItsBits) {
    // 2025-03-17 14:05:42: year nibble 9, day 17 = 0b10001 (top bits of b1 100, of b2 01).
    const std::array<std::uint8_t, 4> packed = {0x93, 0x8E, 0x45, 0x2A};
    EXPECT_EQ(decodeRecordTime(packed), (RecordTime{2025, 3, 17, 14, 5, 42}));
    EXPECT_EQ(formatRecordTime(decodeRecordTime(packed)), "2025-03-17 14:05:42");
}

TEST(RecordTime, Bit6OfTheLastByteAddsSixteenYearsAndBit7IsIgnored) {
    const std::array<std::uint8_t, 4> packed = {0x21, 0x20, 0x00, 0xC0 | 7};  // 2018 + 16, day 4
    EXPECT_EQ(decodeRecordTime(packed), (RecordTime{2034, 1, 4, 0, 0, 7}));
}

TEST(RecordTime, EncodingRoundTripsOverTheWholeRange) {
    for (int year : {2016, 2031, 2032, 2047})
        for (int day : {1, 4, 17, 31}) {
            const RecordTime t{year, 12, day, 23, 59, 58};
            std::array<std::uint8_t, 4> packed{};
            encodeRecordTime(t, packed);
            EXPECT_EQ(decodeRecordTime(packed), t) << year << "-" << day;
        }
}

TEST(RecordTime, HourIsPaddedWithASpace) {
    EXPECT_EQ(formatRecordTime({2016, 1, 2, 3, 4, 5}), "2016-01-02  3:04:05");
}
