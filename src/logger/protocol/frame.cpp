#include "logger/protocol/frame.h"

#include <algorithm>
#include <array>

#include "common/bytes.h"

namespace kavrel::logger {
namespace {

// The usual byte-wise table of the reflected polynomial 0xA001.
constexpr std::array<std::uint16_t, 256> makeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        std::uint16_t c = static_cast<std::uint16_t>(n);
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? static_cast<std::uint16_t>((c >> 1) ^ 0xA001) : (c >> 1);
        table[n] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

bool allEqual(std::initializer_list<std::uint8_t> values, std::uint8_t wanted) {
    return std::all_of(values.begin(), values.end(), [wanted](std::uint8_t v) { return v == wanted; });
}

} // namespace

std::uint16_t frameCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) crc = static_cast<std::uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ b) & 0xFF]);
    return crc;
}

FrameCheck checkFrame(std::span<const std::uint8_t> frame, std::uint8_t type, int minimumLength, std::size_t received) {
    received = std::min(received, frame.size());
    if (received < 1 || frame[0] != type) return FrameCheck::WrongType;
    if (received < static_cast<std::size_t>(minimumLength) + 2) return FrameCheck::BadLength;
    const int length = static_cast<std::int8_t>(frame[1]);
    if (length < minimumLength || length < 2 || received < static_cast<std::size_t>(length) + 2) return FrameCheck::BadLength;
    const std::uint16_t crc = frameCrc(frame.subspan(1, static_cast<std::size_t>(length) - 1));
    return bytes::get16be(frame, static_cast<std::size_t>(length)) == crc ? FrameCheck::Valid : FrameCheck::CrcMismatch;
}

void sealFrame(std::span<std::uint8_t> frame) {
    const std::size_t length = frame[1];
    bytes::put16be(frame, length, frameCrc(frame.subspan(1, length - 1)));
}

bool isBlankSlot(std::span<const std::uint8_t> frame) {
    if (frame.size() < 10) return false;
    return allEqual({frame[2], frame[7], frame[8], frame[9]}, 0x00) ||
           allEqual({frame[2], frame[7], frame[8], frame[9]}, 0xFF);
}

bool isBlankTime(std::span<const std::uint8_t> frame) {
    if (frame.size() < 10) return true;
    return allEqual({frame[7], frame[8], frame[9]}, 0x00) || allEqual({frame[7], frame[8], frame[9]}, 0xFF);
}

} // namespace kavrel::logger
