// Frames of the logger's memory protocol: a type letter, a signed length byte L, L - 2
// bytes of payload and a CRC-16/MODBUS of bytes 1 .. L - 1 carried high byte first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kavrel::logger {

inline constexpr std::uint8_t kStatusType = 'S';
inline constexpr std::uint8_t kRecordType = 'R';
inline constexpr int kStatusLength = 32;                    // L of the status frame
inline constexpr std::size_t kStatusFrameSize = kStatusLength + 2;
inline constexpr int kMaxFrameLength = 127;                 // the length byte is signed

enum class [[nodiscard]] FrameCheck : int {
    Valid = 0,
    WrongType = 1,
    BadLength = 2,
    CrcMismatch = 3,
};

// CRC-16/MODBUS (reflected 0xA001, initial 0xFFFF, no final XOR); "123456789" gives 0x4B37.
std::uint16_t frameCrc(std::span<const std::uint8_t> bytes);

// Checks a frame of which `received` bytes arrived in `frame` (never read beyond either).
FrameCheck checkFrame(std::span<const std::uint8_t> frame, std::uint8_t type, int minimumLength, std::size_t received);

// Writes the CRC of bytes 1 .. L - 1 at offsets L and L + 1 (the frame must hold L + 2 bytes).
void sealFrame(std::span<std::uint8_t> frame);

// A record slot of erased or never written memory: bytes 2, 7, 8 and 9 all 0x00 or all 0xFF.
bool isBlankSlot(std::span<const std::uint8_t> frame);

// A time stamp (frame bytes 7, 8, 9) all 0x00 or all 0xFF.
bool isBlankTime(std::span<const std::uint8_t> frame);

} // namespace kavrel::logger
