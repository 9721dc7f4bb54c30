// The bytes of one memory record as every layer sees it: the download fills them from a
// frame, the decoders read them, the export and the tests hand them on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kavrel::logger {

// The first 39 bytes of a record frame: "R", length, kind, number, time, payload, CRC.
// A frame shorter than 39 bytes arrives zero-filled behind its own bytes.
inline constexpr std::size_t kRecordBytes = 39;
using RecordBytes = std::array<std::uint8_t, kRecordBytes>;

} // namespace kavrel::logger
