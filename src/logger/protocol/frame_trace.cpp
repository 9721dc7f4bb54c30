#include "logger/protocol/frame_trace.h"

#include "logger/protocol/frame.h"

namespace kavrel::logger {
namespace {

// The size of the frame that starts the bytes, or 0 when none does.
std::size_t frameSizeAt(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 2 || (bytes[0] != kStatusType && bytes[0] != kRecordType)) return 0;
    const int length = static_cast<std::int8_t>(bytes[1]);
    if (length < 2 || static_cast<std::size_t>(length) + 2 > bytes.size()) return 0;
    return static_cast<std::size_t>(length) + 2;
}

} // namespace

std::vector<link::TracedPiece> describeLoggerReply(std::span<const std::uint8_t> reply) {
    std::vector<link::TracedPiece> pieces;
    std::size_t slot = 0;   // the size of the last frame recognised
    std::size_t at = 0;
    while (at < reply.size()) {
        const auto rest = reply.subspan(at);
        if (const std::size_t size = frameSizeAt(rest); size > 0) {
            const FrameCheck check = checkFrame(rest.first(size), rest[0], 2, size);
            pieces.push_back({size, check == FrameCheck::Valid ? "CRC dobry" : "CRC zły"});
            slot = size;
        } else if (slot > 0 && rest.size() >= slot) {
            pieces.push_back({slot, isBlankSlot(rest.first(slot)) ? "pusty zapis" : "nierozpoznana ramka"});
        } else {
            pieces.push_back({rest.size(), ""});
        }
        at += pieces.back().size;
    }
    return pieces;
}

} // namespace kavrel::logger
