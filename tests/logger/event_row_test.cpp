#include <gtest/gtest.h>

#include "common/win1250.h"
#include "logger/records/event_row.h"
#include "logger/record_builder.h"

using namespace kavrel::logger;
using kavrel::W;
using kavrel::cp1250::toUtf8;
using kavrel::logger::testing::Event;
using kavrel::logger::testing::eventRecord;

namespace {

// Line 1 humidity, line 2 temperature, the rest voltages.
constexpr LineConfiguration kLines = {0x81, 0x82, 0x42, 0x42, 0x42, 0x42, 0x42, 0x42};

struct CellCase {
    int code, p1, p2;
    const char* cell;  // UTF-8
};

#define RED(x) "<FONT COLOR=\"red\">" x "</FONT>"
#define BOLD(x) "<B>" x "</B>"

// The worked examples of the event log, one cell each.
const CellCase kExamples[] = {
    {1, 3, 0, "<TD> " RED(BOLD("START programu (PWR)")) " </TD>"},
    {1, 6, 0, "<TD> " RED(BOLD("START programu ")) " </TD>"},
    {4, 2, 0, "<TD> " RED("Wysoki poziom (T2)") " </TD>"},
    {4, 9, 0, "<TD> " RED("Wysoki poziom (C1)") " </TD>"},
    {4, 0x23, 0, "<TD> " RED("Wysoki poziom (XL3)") " </TD>"},
    {20, 1, 1, "<TD> Zign. pobudzenie H (RH1) </TD>"},
    {6, 0, 3, "<TD> Wysyłanie SMS (nr tel. 3) (OK) </TD>"},
    {6, 7, 3, "<TD> " RED(BOLD("Wysyłanie SMS (nr tel. 3) (błąd 7)")) " </TD>"},
    {13, 0, 5, "<TD> Wysyłanie e-mail (nr 1 3) (OK) </TD>"},
    {13, 5, 5, "<TD> " RED(BOLD("Wysyłanie e-mail (timeout SMTP 805)")) " </TD>"},
    {10, 4, 0x21, "<TD> " RED("STOP programu (GPRS_WDT, HTTP:1 GPRS:2)") " </TD>"},
    {10, 4, 0, "<TD> " RED("STOP programu (GPRS_WDT)") " </TD>"},
    {19, 0, 0x31, "<TD> Transmisja WWW (potwierdzona, pr=3) </TD>"},
    {19, 0, 0, "<TD> " RED("Transmisja WWW (brak potwierdzenia!)") " </TD>"},
    {11, 1, 2, "<TD> " BOLD("Zmiana czasu na letni") " </TD>"},
    {11, 2, 4, "<TD> " BOLD("Zmiana numeru TEL4") " </TD>"},
    {40, 0, 0, "<TD> Inne zdarzenie (kod 40) </TD>"},
};

// Parameter texts and highlights beyond the worked examples, where a wrong branch is easy.
const CellCase kParameterTexts[] = {
    {0, 0, 0, "<TD> NULL  </TD>"},
    {1, 16, 0, "<TD> " RED(BOLD("START programu (JTAG)")) " </TD>"},
    {2, 1, 0, "<TD> Inicjalizacja GSM (OK) </TD>"},
    {2, 2, 0, "<TD> " RED(BOLD("Inicjalizacja GSM (błąd SIM)")) " </TD>"},
    {3, 1, 0, "<TD> " RED("Niski poziom (RH1)") " </TD>"},
    {3, 3, 0, "<TD> " RED("Niski poziom (L3)") " </TD>"},
    {3, 12, 0, "<TD> " RED("Niski poziom (L12)") " </TD>"},
    {5, 0x40, 0, "<TD> Normalny poziom  </TD>"},
    {20, 2, 0, "<TD> Zign. pobudzenie L (T2) </TD>"},
    {20, 0x21, 0, "<TD> Zign. pobudzenie (XL1) </TD>"},
    {6, 3, 50, "<TD> " RED(BOLD("Wysyłanie SMS (nr z CLIP) (brak numeru)")) " </TD>"},
    {6, 0, 11, "<TD> Wysyłanie SMS (OK) </TD>"},
    {7, 5, 0, "<TD> Odbiór SMS (nr 5) </TD>"},
    {9, 6, 0, "<TD> Połączenie TCP/IP  </TD>"},
    {11, 3, 1, "<TD> " BOLD("Zmiana ustawień APN1") " </TD>"},
    {11, 9, 0, "<TD> " BOLD("Zmiana ustawień") " </TD>"},
    {12, 1, 1, "<TD> Rejestracja GSM (OK, <B>ROAMING</B>) </TD>"},
    {12, 4, 0, "<TD> " RED(BOLD("Rejestracja GSM ")) " </TD>"},
    {13, 9, 2, "<TD> " RED(BOLD("Wysyłanie e-mail 802)")) " </TD>"},
    {14, 1, 0, "<TD> " BOLD("Skasowanie liczników") " </TD>"},
    {15, 2, 0, "<TD> Odczyt logu (LAN) </TD>"},
    {17, 0, 0, "<TD> " RED(BOLD("Komunikacja XL (BRAK)")) " </TD>"},
    {17, 1, 0, "<TD> " RED("Komunikacja XL (OK)") " </TD>"},
    {19, 2, 5, "<TD> " RED("Transmisja WWW (serwer nie odpowiada!)") " </TD>"},
    {19, 1, 5, "<TD> " RED("Transmisja WWW (błąd stosu TCP/IP!)") " </TD>"},
    {19, 0, 0x02, "<TD> Transmisja WWW (komenda zwrotna) </TD>"},
    {21, 254, 0, "<TD> Reset GSM (TEST PDP DEACT.) </TD>"},
    {21, 13, 0, "<TD> Reset GSM  </TD>"},
    {255, 0, 0, "<TD> Inne zdarzenie (kod 255) </TD>"},
};

} // namespace

TEST(EventCell, WorkedExamples) {
    for (const auto& c : kExamples)
        EXPECT_EQ(toUtf8(describeEvent(c.code, c.p1, c.p2, kLines)), c.cell) << c.code << "/" << c.p1 << "/" << c.p2;
}

TEST(EventCell, ParameterTextsAndHighlights) {
    for (const auto& c : kParameterTexts)
        EXPECT_EQ(toUtf8(describeEvent(c.code, c.p1, c.p2, kLines)), c.cell) << c.code << "/" << c.p1 << "/" << c.p2;
}

TEST(EventCell, LevelTextsReadOnlyTheNarrowKindsOfTheConfigurationByte) {
    // 0x84 is a temperature for the CSV header, but a level event names it a plain line.
    const LineConfiguration lines = {0x84, 0x85, 0x80, 0, 0, 0, 0, 0};
    EXPECT_EQ(toUtf8(describeEvent(5, 1, 0, lines)), "<TD> Normalny poziom (L1) </TD>");
    EXPECT_EQ(toUtf8(describeEvent(5, 2, 0, lines)), "<TD> Normalny poziom (L2) </TD>");
    EXPECT_EQ(toUtf8(describeEvent(5, 3, 0, lines)), "<TD> Normalny poziom (T3) </TD>");
}

TEST(EventCell, NamesAreWindows1250) {
    EXPECT_EQ(eventName(6), W("Wysyłanie SMS"));
    EXPECT_EQ(eventName(6).size(), 13u);  // one byte per Polish letter
    EXPECT_EQ(eventName(22), "");
}

TEST(EventRow, WholeRowByteForByte) {
    const auto record = eventRecord({.number = 1234, .time = {2025, 3, 7, 9, 5, 1}, .code = 4, .p1 = 2, .p3 = 7,
                                     .text = "23.5'C"});
    const std::string row = eventRow(record, {2025, 3, 7, 9, 5, 1}, true, kLines);
    EXPECT_EQ(row,
              "<TR>\n<TD>1234 </TD><TD>2025-03-07  9:05:01</TD>"
              "<TD> <FONT COLOR=\"red\">Wysoki poziom (T2)</FONT> </TD>"
              "<TD>23.5&deg;C </TD>"
              "<TD>4 </TD><TD>2 </TD><TD>0 </TD><TD>7</TD> "
              "<TD> 1 </TD>\n</TR>\n");
}

TEST(EventRow, EmptyTextAndIncorrectRecord) {
    const auto record = eventRecord({.number = -1, .code = 15, .p1 = 1});
    const std::string row = eventRow(record, {2016, 1, 1, 0, 0, 0}, false, kLines);
    EXPECT_EQ(row,
              "<TR>\n<TD>-1 </TD><TD>2016-01-01  0:00:00</TD><TD> Odczyt logu (e-mail) </TD>"
              "<TD>&nbsp; </TD><TD>15 </TD><TD>1 </TD><TD>0 </TD><TD>0</TD> <TD> 0 </TD>\n</TR>\n");
}

TEST(EventText, MarkupCharactersAreEscapedAndTheDegreeRuleKept) {
    const auto html = [](std::string_view text) {
        return eventTextHtml(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    };
    EXPECT_EQ(html("23.5'C"), "23.5&deg;C");
    EXPECT_EQ(html("<b>A&B</b>"), "&lt;b&gt;A&amp;B&lt;/b&gt;");
    EXPECT_EQ(html("it's 'c"), "it's 'c");  // only an apostrophe before a capital C
    EXPECT_EQ(html(W("Żółw")), W("Żółw"));  // code-page letters pass unchanged
}

TEST(EventText, StopsAtNulOrTheEndOfTheField) {
    const auto record = eventRecord({.text = "ABCDEFGHIJKLMNOPQRSTUV"});  // 22 characters, no NUL
    const std::string row = eventRow(record, {}, true, kLines);
    EXPECT_NE(row.find("<TD>ABCDEFGHIJKLMNOPQRSTUV </TD>"), std::string::npos);

    auto cut = eventRecord({.text = "ABCDEFGHIJKLMNOPQRSTU'"});
    cut[event::kText + event::kTextSize] = 'C';  // the byte behind the field is not the text's
    EXPECT_NE(eventRow(cut, {}, true, kLines).find("<TD>ABCDEFGHIJKLMNOPQRSTU' </TD>"), std::string::npos);
}
