#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "common/win1250.h"

using namespace kavrel;

namespace {

// Converts one byte with the system's own Windows-1250 table, an independent source.
#ifdef _WIN32
std::u32string iconvDecode(unsigned char byte) {
    const char in[1] = {static_cast<char>(byte)};
    wchar_t out[2] = {};
    const int n = ::MultiByteToWideChar(1250, MB_ERR_INVALID_CHARS, in, 1, out, 2);
    if (n != 1) return U"";
    return std::u32string(1, static_cast<char32_t>(out[0]));
}
#else
std::u32string iconvDecode(unsigned char byte) {
    iconv_t cd = iconv_open("UTF-32LE", "CP1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) return U"!";
    char in[1] = {static_cast<char>(byte)};
    char32_t out[2] = {};
    char* inPtr = in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return U"";
    return std::u32string(out, (sizeof out - outLeft) / sizeof(char32_t));
}
#endif

} // namespace

TEST(Win1250, EveryByteRoundTripsThroughUtf8AndUtf16) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(cp1250::fromUtf8(cp1250::toUtf8(all)), all);
    EXPECT_EQ(cp1250::fromUtf16(cp1250::toUtf16(all)), all);
}

TEST(Win1250, TableAgreesWithTheCLibrary) {
    for (int b = 0x80; b < 0x100; ++b) {
        const std::u32string expected = iconvDecode(static_cast<unsigned char>(b));
        if (expected.empty()) continue; // a byte the code page leaves undefined
        ASSERT_EQ(expected.size(), 1u) << std::hex << b;
        EXPECT_EQ(cp1250::toUnicode(static_cast<std::uint8_t>(b)), expected[0]) << "byte 0x" << std::hex << b;
    }
}

TEST(Win1250, PolishLettersHaveTheirCodePageBytes) {
    EXPECT_EQ(cp1250::fromUtf8("ąćęłńóśźż"), "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF");
    EXPECT_EQ(cp1250::fromUtf8("ĄĆĘŁŃÓŚŹŻ"), "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    EXPECT_EQ(cp1250::toUtf8("B\xB3\xB9""d"), "Błąd");
    EXPECT_EQ(W("°C €"), "\xB0""C \x80");
}

TEST(Win1250, UnmappableAndBrokenInputBecomesQuestionMarks) {
    EXPECT_EQ(cp1250::fromUtf8("a漢b"), "a?b");
    EXPECT_EQ(cp1250::fromUtf8("x\xC3"), "x?");          // cut sequence
    EXPECT_EQ(cp1250::fromUtf8("\xC0\x80"), "?");         // an overlong NUL is no character
    EXPECT_EQ(cp1250::fromUtf8("\xED\xA0\x80"), "?");     // a surrogate is no character
    EXPECT_EQ(cp1250::fromUtf16(u"\U0001F600!"), "?!");   // outside the code page, as one character
    EXPECT_EQ(cp1250::fromUtf16(std::u16string(1, u'\xD800')), "?");
}
