#include "link/exchange.h"

#include <algorithm>

namespace kavrel::link {

void VersionText::store(const std::uint8_t* from, std::size_t length) {
    length = std::min(length, kVersionTextBytes - 1);
    for (std::size_t i = 0; i < length; ++i) text_[i] = from[i] < 0x20 ? ' ' : static_cast<char>(from[i]);
    text_[length] = '\0';
}

} // namespace kavrel::link
