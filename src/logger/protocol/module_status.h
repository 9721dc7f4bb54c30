// The module's 34-byte status frame ("S", 32, ...): what the memory holds and how the
// module logs, with the values the logger derives from it.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "logger/protocol/frame.h"

namespace kavrel::logger {

namespace status_flags {
inline constexpr std::uint8_t kLoggingEnabled = 0x80;
inline constexpr std::uint8_t kCyclicBuffer = 0x40;
inline constexpr std::uint8_t kExtendedLines = 0x08;
inline constexpr std::uint8_t kEnergyMeter = 0x04;
} // namespace status_flags

// Record lengths the download can work with: a frame must carry the kind, number and
// time stamp (11 bytes), and its signed length byte can never exceed 127.
inline constexpr int kMinRecordLength = 11;
inline constexpr int kMaxRecordLength = kMaxFrameLength;

struct ModuleStatus {
    char versionMajor = '0';
    char versionMinor = '0';
    std::uint16_t recordLength = 0;       // L of the record frames
    std::int32_t storedRecords = 0;       // as the module counts them
    std::uint8_t geometryFactor = 0;
    std::uint16_t geometryBlocks = 0;
    std::uint8_t fillPercent = 0;
    std::uint8_t flags = 0;
    std::array<std::uint8_t, 8> lineConfiguration{};  // L1..L8
    std::uint16_t loggingPeriod = 0;      // minutes
    std::uint8_t second = 0, minute = 0, hour = 0, day = 0, month = 0, year = 0;

    bool loggingEnabled() const { return flags & status_flags::kLoggingEnabled; }
    bool cyclicBuffer() const { return flags & status_flags::kCyclicBuffer; }
    bool extendedLines() const { return flags & status_flags::kExtendedLines; }
    bool energyMeter() const { return flags & status_flags::kEnergyMeter; }

    // geometry factor x (blocks - 1)
    int recordCapacity() const;
    // What a download reads: the stored number, or the whole capacity once the memory wrapped.
    int recordCount() const;
    // logging period x capacity / 60
    long long memoryHours() const;
    // Whether recordLength is one the download can use (see kMinRecordLength).
    bool recordLengthUsable() const;

    std::string versionText() const;  // "V3.6"
    std::string fillText() const;     // "37 %"
    std::string clockText() const;    // "2025-03-07 14:05:09"
};

// Decodes a frame that passed checkFrame.
ModuleStatus decodeStatus(std::span<const std::uint8_t, kStatusFrameSize> frame);

// The frame the module sends for a status (the simulator builds its answer with this).
std::array<std::uint8_t, kStatusFrameSize> encodeStatus(const ModuleStatus& status);

} // namespace kavrel::logger
