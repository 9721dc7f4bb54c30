// UTF-8, the text of terminals, command lines and JSON, decoded one code point at a time,
// and turned into UTF-16 for a Windows console.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kavrel::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// Decodes the sequence that starts at text[i] and moves i past it. A malformed, overlong
// or cut sequence gives U+FFFD and moves past its lead byte and the continuation bytes
// that were valid, so that decoding goes on at the next character.
char32_t next(std::string_view text, std::size_t& i);

void append(std::string& out, char32_t codePoint);
void appendUtf16(std::u16string& out, char32_t codePoint);

std::u16string toUtf16(std::string_view text);
// UTF-16 (a Windows name, a QString) as UTF-8; an unpaired surrogate gives U+FFFD.
std::string fromUtf16(std::u16string_view text);

// Length of the longest prefix of text that does not end inside a character: a lead byte
// at the end whose continuation bytes have not all come yet is left for the next piece.
std::size_t completeLength(std::string_view text);

} // namespace kavrel::utf8
