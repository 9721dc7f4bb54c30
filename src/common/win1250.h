// Windows-1250 text: the code page of every text the module sends, receives and stores.
// The core keeps texts as Windows-1250 byte strings; these helpers convert at the edges.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavrel::cp1250 {

// Unicode code point of one Windows-1250 byte. The five bytes the code page leaves
// undefined (0x81, 0x83, 0x88, 0x90, 0x98) map to the C1 control of the same value,
// as the platform converters do, so that every byte survives a round trip.
char32_t toUnicode(std::uint8_t byte);

// Windows-1250 byte of a code point, or '?' when the code page has no such character.
std::uint8_t fromUnicode(char32_t codePoint);

// Whole texts. Invalid UTF-8 sequences become U+FFFD, which in turn becomes '?'.
std::string toUtf8(std::string_view cp1250Text);
std::string fromUtf8(std::string_view utf8Text);
std::u16string toUtf16(std::string_view cp1250Text);
std::string fromUtf16(std::u16string_view utf16Text);

} // namespace kavrel::cp1250

namespace kavrel {

// Shorthand for Polish literals written in UTF-8 source: W("Błąd") is the Windows-1250 text.
inline std::string W(std::string_view utf8) { return cp1250::fromUtf8(utf8); }

} // namespace kavrel
