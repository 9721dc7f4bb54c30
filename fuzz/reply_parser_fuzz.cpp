// The reply parser on any bytes: the first byte picks the firmware version the reply is
// read for, the rest is the reply. The parser must neither read nor write outside the
// reply and the record, whatever the reply holds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/protocol/reply_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kavrel;
    if (size == 0) return 0;
    const int codes[] = {0x17, 0x19, 0x20, 0x25, 0x26, 0x27, 0x28, 0x36};
    const link::FirmwareVersion version{codes[data[0] & 7], (data[0] & 8) != 0, (data[0] & 16) != 0,
                                        static_cast<char>('A' + (data[0] >> 5))};
    config::SettingsImage image;
    config::parseReply(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), image, version);
    return 0;
}
