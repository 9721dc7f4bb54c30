#include "logger/records/event_row.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>

#include "common/bytes.h"
#include "common/win1250.h"
#include "logger/values/decimal_text.h"

namespace kavrel::logger {
namespace {

enum class Highlight {
    None,
    Red,
    Bold,
    RedBold,
    RedBoldUnlessP1Is1,  // GSM initialisation and registration: 1 is success
    RedBoldUnlessP1Is0,  // SMS and e-mail: 0 is success
    RedBoldWhenP1Is0,    // extended-line communication: red always, bold when lost
    RedOnWebFailure,     // web transfer: red on an error or an unconfirmed transfer
};

struct EventKind {
    const char* name;  // UTF-8 here, Windows-1250 once converted
    Highlight highlight;
};

constexpr std::array<EventKind, kNamedEventCodes> kEventKinds = {{
    {"NULL", Highlight::None},
    {"START programu", Highlight::RedBold},
    {"Inicjalizacja GSM", Highlight::RedBoldUnlessP1Is1},
    {"Niski poziom", Highlight::Red},
    {"Wysoki poziom", Highlight::Red},
    {"Normalny poziom", Highlight::None},
    {"Wysyłanie SMS", Highlight::RedBoldUnlessP1Is0},
    {"Odbiór SMS", Highlight::None},
    {"Odebrano CLIP", Highlight::None},
    {"Połączenie TCP/IP", Highlight::None},
    {"STOP programu", Highlight::Red},
    {"Zmiana", Highlight::Bold},
    {"Rejestracja GSM", Highlight::RedBoldUnlessP1Is1},
    {"Wysyłanie e-mail", Highlight::RedBoldUnlessP1Is0},
    {"Skasowanie", Highlight::Bold},
    {"Odczyt logu", Highlight::None},
    {"Fotografia JPEG", Highlight::None},
    {"Komunikacja XL", Highlight::RedBoldWhenP1Is0},
    {"Inne zdarzenie", Highlight::None},
    {"Transmisja WWW", Highlight::RedOnWebFailure},
    {"Zign. pobudzenie", Highlight::None},
    {"Reset GSM", Highlight::None},
}};

struct Style {
    bool red = false;
    bool bold = false;
};

Style styleOf(Highlight highlight, int p1, int p2) {
    switch (highlight) {
    case Highlight::None: return {};
    case Highlight::Red: return {true, false};
    case Highlight::Bold: return {false, true};
    case Highlight::RedBold: return {true, true};
    case Highlight::RedBoldUnlessP1Is1: return {p1 != 1, p1 != 1};
    case Highlight::RedBoldUnlessP1Is0: return {p1 != 0, p1 != 0};
    case Highlight::RedBoldWhenP1Is0: return {true, p1 == 0};
    case Highlight::RedOnWebFailure: return {p1 != 0 || p2 == 0, false};
    }
    return {};
}

// A parameter value and its text; codes whose texts are a plain lookup use these tables.
struct ValueText {
    int value;
    const char* text;
};

std::string lookup(std::span<const ValueText> table, int value) {
    for (const auto& entry : table)
        if (entry.value == value) return W(entry.text);
    return {};
}

constexpr ValueText kStartCauses[] = {{2, "(RST)"}, {4, "(BOD)"}, {8, "(WDT)"}, {16, "(JTAG)"}};
constexpr ValueText kGsmInit[] = {{0, "(błąd)"}, {1, "(OK)"}, {2, "(błąd SIM)"}};
constexpr ValueText kSmsResults[] = {
    {0, "(OK)"}, {1, "(odmowa sieci)"}, {2, "(odmowa)"}, {3, "(brak numeru)"}, {4, "(limit)"}};
constexpr ValueText kStopCauses[] = {
    {1, "(INIT!)"}, {2, "(UPGRADE!)"}, {3, "(GSM_WDT)"}, {5, "(SLEEP)"}, {6, "(LOW_BATT)"}};
constexpr ValueText kRegistration[] = {{0, "(brak)"}, {2, "(szukanie)"}, {3, "(odmowa)"}, {5, "(ROAMING)"}};
constexpr ValueText kEmailErrors[] = {
    {1, "(błąd TCP/IP "}, {2, "(błąd GPRS "}, {3, "(błąd ust. SMTP "},
    {4, "(błąd poł. SMTP "}, {5, "(timeout SMTP "}, {6, "(błąd wys. e-mail "}};
constexpr ValueText kErased[] = {{0, "logu"}, {1, "liczników"}};
constexpr ValueText kLogChannels[] = {{0, "(USB/RS-232)"}, {1, "(e-mail)"}, {2, "(LAN)"}};
constexpr ValueText kXlCommunication[] = {{0, "(BRAK)"}, {1, "(OK)"}};
constexpr ValueText kGsmResets[] = {
    {1, "(GSM FAIL)"}, {2, "(NOT_READY)"}, {3, "(GPRS_ERROR)"}, {4, "(SMS_NOT_REG)"},
    {5, "(SMS_HANG)"}, {6, "(SMS_ERROR)"}, {7, "(CSQ=0)"}, {8, "(GSM_REG_WDT)"},
    {9, "(EMAIL PDP DEACT.)"}, {10, "(TCP PDP DEACT.)"}, {11, "(IDLE PDP DEACT.)"},
    {12, "(HTTP PDP DEACT.)"}, {254, "(TEST PDP DEACT.)"}, {255, "(TEST)"}};

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char text[64];
    std::snprintf(text, sizeof text, pattern, args...);
    return text;
}

// The line of a level event: an input line named by its kind, the counter, or an
// extended line (0x21..0x30 for XL1..XL16).
std::string lineText(int p1, const LineConfiguration& lines) {
    if (p1 >= 32) return (p1 & 0x20) ? format("(XL%d)", p1 & 0x1F) : std::string{};
    if (p1 == 9) return "(C1)";
    if (p1 >= 1 && p1 <= 8) {
        const int kind = lines[p1 - 1] & 0x87;
        if (kind == 0x80 || kind == 0x82) return format("(T%d)", p1);
        if (kind == 0x81) return format("(RH%d)", p1);
    }
    return format("(L%d)", p1);
}

std::string smsText(int p1, int p2) {
    std::string text;
    if (p2 <= 10) text = format("(nr tel. %d) ", p2);
    else if (p2 == 50) text = "(nr z CLIP) ";
    else if (p2 == 51) text = "(nr z SMS) ";
    const std::string result = lookup(kSmsResults, p1);
    return text + (result.empty() ? W(format("(błąd %d)", p1)) : result);
}

std::string stopText(int p1, int p2) {
    if (p1 != 4) return lookup(kStopCauses, p1);
    std::string text = "(GPRS_WDT";
    if (p2 != 0) text += format(", HTTP:%d GPRS:%d", p2 & 0x0F, p2 >> 4);
    return text + ")";
}

std::string changeText(int p1, int p2) {
    switch (p1) {
    case 1: return p2 == 1 ? "czasu na zimowy" : p2 == 2 ? "czasu na letni" : "czasu";
    case 2: return format("numeru TEL%d", p2);
    case 3: return W(format("ustawień APN%d", p2));
    case 4: return format("adr. E-MAIL%d", p2);
    default: return W("ustawień");
    }
}

std::string registrationText(int p1, int p2) {
    if (p1 == 1) return p2 != 0 ? "(OK, <B>ROAMING</B>)" : "(OK)";
    return lookup(kRegistration, p1);
}

std::string emailText(int p1, int p2) {
    if (p1 == 0) {
        std::string text = "(nr";
        for (int bit = 0; bit < 5; ++bit)
            if (p2 & (1 << bit)) text += format(" %d", bit + 1);
        return text + ") (OK)";
    }
    return lookup(kEmailErrors, p1) + format("%d)", 800 + p2);
}

std::string webText(int p1, int p2) {
    if (p1 != 0) return p1 == 2 ? "(serwer nie odpowiada!)" : W("(błąd stosu TCP/IP!)");
    std::string text = (p2 & 0x0F) == 1 ? "(potwierdzona" : (p2 & 0x0F) == 2 ? "(komenda zwrotna" : "(brak potwierdzenia!";
    if (p2 & 0xF0) text += format(", pr=%0d", p2 >> 4);
    return text + ")";
}

std::string parameterText(int code, int p1, int p2, const LineConfiguration& lines) {
    switch (code) {
    case 1: return (p1 & 0x01) ? "(PWR)" : lookup(kStartCauses, p1);
    case 2: return lookup(kGsmInit, p1);
    case 3: case 4: case 5: return lineText(p1, lines);
    case 20: return p1 < 32 ? (p2 == 0 ? "L " : "H ") + lineText(p1, lines) : lineText(p1, lines);
    case 6: return smsText(p1, p2);
    case 7: case 8: case 9: return p1 <= 5 ? format("(nr %d)", p1) : std::string{};
    case 10: return stopText(p1, p2);
    case 11: return changeText(p1, p2);
    case 12: return registrationText(p1, p2);
    case 13: return emailText(p1, p2);
    case 14: return lookup(kErased, p1);
    case 15: return lookup(kLogChannels, p1);
    case 17: return lookup(kXlCommunication, p1);
    case 19: return webText(p1, p2);
    case 21: return lookup(kGsmResets, p1);
    default: return {};  // 0, 16 and 18 have no parameter text
    }
}

} // namespace

const std::string& eventName(int code) {
    static const auto names = [] {
        std::array<std::string, kNamedEventCodes> converted;
        for (std::size_t i = 0; i < converted.size(); ++i) converted[i] = W(kEventKinds[i].name);
        return converted;
    }();
    static const std::string none;
    return code >= 0 && code < kNamedEventCodes ? names[code] : none;
}

std::string describeEvent(int code, int p1, int p2, const LineConfiguration& lines) {
    std::string cell = "<TD> ";
    if (code < 0 || code >= kNamedEventCodes) return cell + format("Inne zdarzenie (kod %d)", code) + " </TD>";

    const Style style = styleOf(kEventKinds[code].highlight, p1, p2);
    if (style.red) cell += "<FONT COLOR=\"red\">";
    if (style.bold) cell += "<B>";
    cell += eventName(code) + " ";
    cell += parameterText(code, p1, p2, lines);
    if (style.bold) cell += "</B>";
    if (style.red) cell += "</FONT>";
    return cell + " </TD>";
}

std::string eventTextHtml(std::span<const std::uint8_t> text) {
    std::string html;
    const std::size_t size = std::min(text.size(), event::kTextSize);
    for (std::size_t i = 0; i < size && text[i] != 0; ++i) {
        const char c = static_cast<char>(text[i]);
        const bool degree = c == '\'' && i + 1 < size && text[i + 1] == 'C';
        if (degree) html += "&deg;";
        else if (c == '&') html += "&amp;";
        else if (c == '<') html += "&lt;";
        else if (c == '>') html += "&gt;";
        else html += c;
    }
    return html;
}

std::string eventRow(const RecordBytes& record, const RecordTime& time, bool correct, const LineConfiguration& lines) {
    const auto number = static_cast<std::int32_t>(bytes::get32le(record, record::kNumber));
    const int code = record[event::kCode];
    const int p1 = record[event::kP1];
    const int p2 = record[event::kP2];
    const int p3 = record[event::kP3];
    const auto text = std::span(record).subspan(event::kText, event::kTextSize);

    std::string row;
    row.reserve(256);   // a whole row, allocated once
    row += "<TR>\n<TD>";
    appendInteger(row, number);
    row += " </TD><TD>";
    appendRecordTime(row, time);
    row += "</TD>";
    row += describeEvent(code, p1, p2, lines);
    if (text[0] == 0) {
        row += "<TD>&nbsp; </TD>";
    } else {
        row += "<TD>";
        row += eventTextHtml(text);
        row += " </TD>";
    }
    // The raw code and parameters, then whether the record was correct.
    const int raw[] = {code, p1, p2};
    for (const int value : raw) {
        row += "<TD>";
        appendInteger(row, value);
        row += " </TD>";
    }
    row += "<TD>";
    appendInteger(row, p3);
    row += "</TD> <TD> ";
    row += correct ? '1' : '0';
    row += " </TD>\n</TR>\n";
    return row;
}

} // namespace kavrel::logger
