#include "logger/protocol/module_status.h"

#include <cstdio>

#include "common/bytes.h"

namespace kavrel::logger {
namespace {

// Offsets in the status frame.
enum : std::size_t {
    kVersion = 2,
    kRecordLength = 4,
    kStoredRecords = 6,
    kGeometryFactor = 11,
    kGeometryBlocks = 12,
    kFill = 14,
    kFlags = 15,
    kLineConfiguration = 16,
    kLoggingPeriod = 24,
    kClock = 26,   // second, minute, hour, day, month, year
};

} // namespace

int ModuleStatus::recordCapacity() const { return int{geometryFactor} * (int{geometryBlocks} - 1); }

int ModuleStatus::recordCount() const { return cyclicBuffer() ? recordCapacity() : storedRecords; }

long long ModuleStatus::memoryHours() const { return static_cast<long long>(loggingPeriod) * recordCapacity() / 60; }

bool ModuleStatus::recordLengthUsable() const {
    return recordLength >= kMinRecordLength && recordLength <= kMaxRecordLength;
}

std::string ModuleStatus::versionText() const {
    // Built by hand: "V%c.%c" through a C string would end at a version byte of 0.
    return std::string{'V', versionMajor, '.', versionMinor};
}

std::string ModuleStatus::fillText() const { return std::to_string(fillPercent) + " %"; }

std::string ModuleStatus::clockText() const {
    char text[48];
    std::snprintf(text, sizeof text, "20%02d-%02d-%02d %2d:%02d:%02d", year, month, day, hour, minute, second);
    return text;
}

ModuleStatus decodeStatus(std::span<const std::uint8_t, kStatusFrameSize> frame) {
    ModuleStatus s;
    s.versionMajor = static_cast<char>(frame[kVersion]);
    s.versionMinor = static_cast<char>(frame[kVersion + 1]);
    s.recordLength = bytes::get16le(frame, kRecordLength);
    s.storedRecords = static_cast<std::int32_t>(bytes::get32le(frame, kStoredRecords));
    s.geometryFactor = frame[kGeometryFactor];
    s.geometryBlocks = bytes::get16le(frame, kGeometryBlocks);
    s.fillPercent = frame[kFill];
    s.flags = frame[kFlags];
    for (std::size_t i = 0; i < s.lineConfiguration.size(); ++i) s.lineConfiguration[i] = frame[kLineConfiguration + i];
    s.loggingPeriod = bytes::get16le(frame, kLoggingPeriod);
    s.second = frame[kClock];
    s.minute = frame[kClock + 1];
    s.hour = frame[kClock + 2];
    s.day = frame[kClock + 3];
    s.month = frame[kClock + 4];
    s.year = frame[kClock + 5];
    return s;
}

std::array<std::uint8_t, kStatusFrameSize> encodeStatus(const ModuleStatus& s) {
    std::array<std::uint8_t, kStatusFrameSize> frame{};
    frame[0] = kStatusType;
    frame[1] = kStatusLength;
    frame[kVersion] = static_cast<std::uint8_t>(s.versionMajor);
    frame[kVersion + 1] = static_cast<std::uint8_t>(s.versionMinor);
    bytes::put16le(frame, kRecordLength, s.recordLength);
    bytes::put32le(frame, kStoredRecords, static_cast<std::uint32_t>(s.storedRecords));
    frame[kGeometryFactor] = s.geometryFactor;
    bytes::put16le(frame, kGeometryBlocks, s.geometryBlocks);
    frame[kFill] = s.fillPercent;
    frame[kFlags] = s.flags;
    for (std::size_t i = 0; i < s.lineConfiguration.size(); ++i) frame[kLineConfiguration + i] = s.lineConfiguration[i];
    bytes::put16le(frame, kLoggingPeriod, s.loggingPeriod);
    const std::uint8_t clock[] = {s.second, s.minute, s.hour, s.day, s.month, s.year};
    for (std::size_t i = 0; i < 6; ++i) frame[kClock + i] = clock[i];
    sealFrame(frame);
    return frame;
}

} // namespace kavrel::logger
