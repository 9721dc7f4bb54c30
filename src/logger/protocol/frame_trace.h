// How the wire trace shows the logger's binary replies: every status or record frame as
// hex with the verdict on its CRC, an erased slot as such, and what is no frame as text.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "link/trace/wire_trace.h"

namespace kavrel::logger {

// Cuts a reply into frames. A frame is recognised by its type letter and a length byte
// that fits the reply; the slots after a frame have its size (a batch holds records of one
// length), so an erased or damaged slot among them is cut at that size too.
std::vector<link::TracedPiece> describeLoggerReply(std::span<const std::uint8_t> reply);

} // namespace kavrel::logger
