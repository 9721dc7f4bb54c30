#include "link/ports/serial_port_info.h"

#include <cctype>

namespace kavrel::link {
namespace {

// The four hex digits after `key` ("VID_"), case-insensitively, or nullopt.
std::optional<std::uint16_t> hexAfter(std::string_view id, std::string_view key) {
    for (std::size_t at = 0; at + key.size() + 4 <= id.size(); ++at) {
        bool match = true;
        for (std::size_t i = 0; i < key.size() && match; ++i)
            match = std::toupper(static_cast<unsigned char>(id[at + i])) == key[i];
        if (!match) continue;
        unsigned value = 0;
        for (std::size_t i = 0; i < 4; ++i) {
            const char c = id[at + key.size() + i];
            if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
            const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
            value = value * 16 + static_cast<unsigned>(digit);
        }
        return static_cast<std::uint16_t>(value);
    }
    return std::nullopt;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

} // namespace

UsbIdentity parseUsbIdentity(std::string_view instanceId) {
    UsbIdentity identity;
    identity.vendorId = hexAfter(instanceId, "VID_");
    identity.productId = hexAfter(instanceId, "PID_");
    if (startsWithNoCase(instanceId, "USB\\") && identity.vendorId) {
        const std::size_t last = instanceId.rfind('\\');
        const std::string_view tail = instanceId.substr(last + 1);
        if (last > 3 && !tail.empty() && tail.find('&') == std::string_view::npos) identity.serialNumber = tail;
    }
    return identity;
}

} // namespace kavrel::link
