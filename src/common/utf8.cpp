#include "common/utf8.h"

#include <cstdint>

namespace kavrel::utf8 {
namespace {

// How many continuation bytes follow a lead byte; -1 for a byte that cannot start one.
int continuationCount(std::uint8_t lead) {
    if (lead < 0x80) return 0;
    if ((lead & 0xE0) == 0xC0) return 1;
    if ((lead & 0xF0) == 0xE0) return 2;
    if ((lead & 0xF8) == 0xF0) return 3;
    return -1;
}

bool isContinuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

} // namespace

char32_t next(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<std::uint8_t>(text[i++]);
    const int extra = continuationCount(lead);
    if (extra == 0) return lead;
    if (extra < 0) return kReplacement;
    constexpr char32_t kLeadMask[] = {0, 0x1F, 0x0F, 0x07};
    constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    char32_t cp = lead & kLeadMask[extra];
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size()) return kReplacement;
        const auto cont = static_cast<std::uint8_t>(text[i]);
        if (!isContinuation(cont)) return kReplacement;
        cp = (cp << 6) | (cont & 0x3F);
        ++i;
    }
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

void append(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
        return;
    }
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (cp >> 10));
    out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
}

std::u16string toUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) appendUtf16(out, next(text, i));
    return out;
}

std::string fromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            append(out, 0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
        } else {
            append(out, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
        }
    }
    return out;
}

std::size_t completeLength(std::string_view text) {
    // Back over at most three continuation bytes to the byte that leads them.
    std::size_t lead = text.size();
    while (lead > 0 && text.size() - lead < 4) {
        --lead;
        const auto byte = static_cast<std::uint8_t>(text[lead]);
        if (isContinuation(byte)) continue;
        const int extra = continuationCount(byte);
        const auto present = text.size() - lead - 1;
        return extra > 0 && present < static_cast<std::size_t>(extra) ? lead : text.size();
    }
    return text.size();
}

} // namespace kavrel::utf8
