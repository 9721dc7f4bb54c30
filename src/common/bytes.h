// Little-endian byte helpers: the one place where records, files and frames are
// taken apart and put together. No packed structs are cast anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kavrel::bytes {

inline std::uint8_t get8(std::span<const std::uint8_t> b, std::size_t at) { return b[at]; }

inline std::uint16_t get16le(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::int16_t get16leSigned(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::int16_t>(get16le(b, at));
}

inline std::uint32_t get32le(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
           (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::uint16_t get16be(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}

inline void put8(std::span<std::uint8_t> b, std::size_t at, std::uint8_t v) { b[at] = v; }

inline void put16le(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void put32le(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline void put16be(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}

} // namespace kavrel::bytes
