// The packed 4-byte time stamp of a memory record.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kavrel::logger {

struct RecordTime {
    int year = 2016;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;

    bool operator==(const RecordTime&) const = default;
};

// Unpacks b0..b3: the year counts from 2016 in the high nibble of b0 (bit 6 of b3 adds
// 16), the day's five bits are split over the top bits of b1 and b2.
RecordTime decodeRecordTime(std::span<const std::uint8_t, 4> packed);

// Packs a time the other way round (the simulator and the tests build records with it).
// Fields out of range are cut to their bit widths.
void encodeRecordTime(const RecordTime& time, std::span<std::uint8_t, 4> packed);

// "YYYY-MM-DD hh:mm:ss" with the hour padded by a space, as both output files show it.
std::string formatRecordTime(const RecordTime& time);
// The same text appended to a line being composed.
void appendRecordTime(std::string& line, const RecordTime& time);

} // namespace kavrel::logger
