#include "link/reply_frames.h"

#include <cstring>
#include <string_view>

namespace kavrel::link {
namespace {

constexpr std::uint8_t kCR = 0x0D;

bool endsWith(const std::uint8_t* data, std::size_t count, std::string_view tail) {
    return count >= tail.size() && std::memcmp(data + count - tail.size(), tail.data(), tail.size()) == 0;
}

bool beginsWithOkLine(const std::uint8_t* data, std::size_t count) {
    return count >= 3 && data[0] == 'O' && data[1] == 'K' && data[2] == kCR;
}

} // namespace

std::size_t strayOkBytes(const std::uint8_t* data, std::size_t count) {
    std::size_t stray = 0;
    while (count - stray >= 6 && std::memcmp(data + stray, "OK\rOK\r", 6) == 0) stray += 3;
    return stray;
}

std::size_t versionTextEnd(const std::uint8_t* data, std::size_t count) {
    if (count <= 3) return count;
    const auto* cr = static_cast<const std::uint8_t*>(std::memchr(data + 3, kCR, count - 3));
    return cr ? static_cast<std::size_t>(cr - data) : count;
}

bool frameComplete(ReplyFrame frame, const std::uint8_t* data, std::size_t count) {
    switch (frame) {
    case ReplyFrame::None: return false;
    case ReplyFrame::Command: return endsWith(data, count, "OK\r");
    case ReplyFrame::Version: return beginsWithOkLine(data, count) && versionTextEnd(data, count) < count;
    case ReplyFrame::Query: return count >= 4 && endsWith(data, count, "\rOK\r");
    case ReplyFrame::ShortQuery: return count >= 4 && data[count - 1] == kCR;
    }
    return false;
}

} // namespace kavrel::link
