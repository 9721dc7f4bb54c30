// Offsets of the 39-byte record as the decoders see it: the frame's first bytes are
// the same for every kind, the rest depends on the kind letter at offset 2.
#pragma once

#include <cstddef>
#include <cstdint>

#include "logger/records/record_bytes.h"

namespace kavrel::logger {

namespace record {
inline constexpr std::size_t kKind = 2;
inline constexpr std::size_t kNumber = 3;  // signed 32-bit ("P" and "Z")
inline constexpr std::size_t kTime = 7;    // 4 bytes of packed time stamp

inline constexpr std::uint8_t kMeasurement = 'P';
inline constexpr std::uint8_t kExtended = 'X';
inline constexpr std::uint8_t kEvent = 'Z';
} // namespace record

// "P": the eight input lines, levels, outputs, GSM state, counters and flags.
namespace measurement {
inline constexpr std::size_t kValues = 11;  // eight 16-bit raw values, L1 first
inline constexpr std::size_t kLow = 27;
inline constexpr std::size_t kHigh = 28;
inline constexpr std::size_t kOutputs = 29;
inline constexpr std::size_t kGsm = 30;
inline constexpr std::size_t kSms = 31;     // 16-bit
inline constexpr std::size_t kFlags = 33;
inline constexpr std::size_t kEmail = 34;
inline constexpr std::size_t kXlState = 35; // 16-bit

inline constexpr std::uint8_t kFlagAlarm = 0x01;
inline constexpr std::uint8_t kFlagGuard = 0x02;
inline constexpr std::uint8_t kFlagEnergyMeter = 0x10;
} // namespace measurement

// "X": the sixteen extended lines that complete the "P" record before it.
namespace extended {
inline constexpr std::size_t kKinds = 3;
inline constexpr std::size_t kValues = 4;   // sixteen 16-bit raw values, XL1 first
inline constexpr std::uint8_t kNoValues = 0x80;
} // namespace extended

// "Z": one entry of the event log.
namespace event {
inline constexpr std::size_t kCode = 11;
inline constexpr std::size_t kP1 = 12;
inline constexpr std::size_t kP2 = 13;
inline constexpr std::size_t kP3 = 14;
inline constexpr std::size_t kText = 15;
inline constexpr std::size_t kTextSize = 22;
} // namespace event

} // namespace kavrel::logger
