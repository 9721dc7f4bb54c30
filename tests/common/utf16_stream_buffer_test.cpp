// The console path of kavrel.exe: the tool's UTF-8 texts, written through an ostream in
// pieces of any size, reach the console as UTF-16 in whole characters.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/utf16_stream_buffer.h"
#include "common/utf8.h"
#include "common/win1250.h"

using namespace kavrel;

namespace {

// Every piece the sink got, kept apart so that a test can see where the cuts fell.
struct Console {
    std::vector<std::u16string> writes;
    bool refuse = false;
    Utf16StreamBuffer::Sink sink() {
        return [this](std::u16string_view text) {
            writes.emplace_back(text);
            return !refuse;
        };
    }
    std::u16string text() const {
        std::u16string all;
        for (const auto& piece : writes) all += piece;
        return all;
    }
};

bool isLeadSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

} // namespace

TEST(Utf16StreamBuffer, PolishMessagesWithLineEndsAndProgressReachTheConsoleAsWritten) {
    // A message as the tool prints it: Windows-1250 from the core, UTF-8 for the terminal.
    const std::string letters = cp1250::toUtf8(W("ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ"));
    Console console;
    {
        Utf16StreamBuffer buffer(console.sink());
        std::ostream out(&buffer);
        out << "\r[ 42%]\r[100%]\n" << letters << " !\r\n" << std::flush;
        EXPECT_EQ(console.text(), u"\r[ 42%]\r[100%]\nąćęłńóśźż ĄĆĘŁŃÓŚŹŻ !\r\n");
    }
    EXPECT_EQ(console.writes.size(), 1U) << "nothing more is written at the end";
}

TEST(Utf16StreamBuffer, CharactersCutBetweenPiecesAreWrittenWhole) {
    const std::string text = cp1250::toUtf8(W("Błąd otwarcia portu COM8 ! Żółć")) + "\xE2\x82\xAC \xF0\x9F\x93\x9F\n";
    const std::u16string expected = u"Błąd otwarcia portu COM8 ! Żółć€ \U0001F4DF\n";
    ASSERT_EQ(utf8::toUtf16(text), expected);

    // One byte at a time with a flush after each, and across the buffer's own boundary.
    Console byByte;
    {
        Utf16StreamBuffer buffer(byByte.sink());
        std::ostream out(&buffer);
        for (char c : text) out << c << std::flush;
    }
    Console boundary;
    const std::string padding(1023, '.');
    {
        Utf16StreamBuffer buffer(boundary.sink());
        std::ostream out(&buffer);
        out << padding << text;
    }
    EXPECT_EQ(byByte.text(), expected);
    EXPECT_EQ(boundary.text(), std::u16string(padding.begin(), padding.end()) + expected);
    for (const Console* console : {&byByte, &boundary}) {
        for (const auto& piece : console->writes) {
            EXPECT_FALSE(isLeadSurrogate(piece.back())) << "a surrogate pair was split";
            EXPECT_EQ(piece.find(utf8::kReplacement), std::u16string::npos);
        }
    }
}

TEST(Utf16StreamBuffer, MalformedBytesBecomeReplacementAndAFailedWriteFailsTheStream) {
    Console console;
    {
        Utf16StreamBuffer buffer(console.sink());
        std::ostream out(&buffer);
        // A stray continuation byte, a lead byte followed by ASCII, and a cut character at the end.
        out << "a\x80" "b\xC5" "c\xC5" << std::flush;
        EXPECT_EQ(console.text(), u"a\uFFFDb\uFFFDc");
    }
    EXPECT_EQ(console.text(), u"a\uFFFDb\uFFFDc\uFFFD");

    Console refusing;
    refusing.refuse = true;
    Utf16StreamBuffer buffer(refusing.sink());
    std::ostream out(&buffer);
    out << "kavrel" << std::flush;
    EXPECT_TRUE(out.bad());
}

TEST(Utf8, CompleteLengthHoldsBackOnlyACharacterStillComing) {
    struct Case {
        std::string text;
        std::size_t whole;
    };
    const std::vector<Case> cases = {
        {"", 0},           {"abc", 3},            {"a\xC5", 1},          {"a\xC5\x82", 3},
        {"\xE2\x82", 0},   {"\xE2\x82\xAC", 3},   {"x\xF0\x9F\x93", 1},  {"\xF0\x9F\x93\x9F", 4},
        {"a\x80\x80", 3},  {"\x80\x80\x80\x80", 4}, {"a\xFF", 2},
    };
    for (const Case& c : cases) EXPECT_EQ(utf8::completeLength(c.text), c.whole) << testing::PrintToString(c.text);
}
