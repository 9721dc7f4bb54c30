#include "config/protocol/reply_parser.h"

#include <array>
#include <cstdint>
#include <optional>

#include "common/bytes.h"

namespace kavrel::config {
namespace {

constexpr char kCR = '\r';

enum class Form : std::uint8_t {
    Text,       // "PIN=" text
    DigitText,  // "SMS" + one digit within the field's numbers + "=" text
    XmsText,    // "XMS" + a number 1..17 + "=" text
    Number,     // "TRPT=" one decimal value
    List,       // "ICFGx=" one value per element, or the bytes of an hour mask
    Rcfg,       // "RCFG=" up to three two-wide values, by version
    ClipCtrl,   // "CLIP=", "CTRL=" one or two two-wide values, by version
    Url2,       // "URL2=" six characters and two extension characters
};

struct ReplyKey {
    const char* key;
    Field field;
    Form form;
    Field second = Field::Pin;  // CLIP/CTRL value 2
    int number = 0;             // the element a Text key fills (NUM10)
};

// In the order the keys are tried at each position.
constexpr std::array kReplyKeys = {
    ReplyKey{"PIN=", Field::Pin, Form::Text},
    ReplyKey{"NUM", Field::Num, Form::DigitText},
    ReplyKey{"NUM", Field::NumExt, Form::DigitText},
    ReplyKey{"NUM10=", Field::NumExt, Form::Text, Field::Pin, 10},
    ReplyKey{"TRPT=", Field::Trpt, Form::Number},
    ReplyKey{"COPS=", Field::Cops, Form::Number},
    ReplyKey{"RPTHR=", Field::Rpthr, Form::List},
    ReplyKey{"ALMD=", Field::Almd, Form::List},
    ReplyKey{"ULOx=", Field::Ulo, Form::List},
    ReplyKey{"UHIx=", Field::Uhi, Form::List},
    ReplyKey{"ICFGx=", Field::Icfg, Form::List},
    ReplyKey{"SCFGx=", Field::Scfgn, Form::List},
    ReplyKey{"OCFGx=", Field::Ocfg, Form::List},
    ReplyKey{"SCFG=", Field::Scfg, Form::Number},
    ReplyKey{"SLIM=", Field::Slim, Form::Number},
    ReplyKey{"HIST1=", Field::Hist1, Form::Number},
    ReplyKey{"HIST2=", Field::Hist2, Form::Number},
    ReplyKey{"RCFG=", Field::Rcfg1, Form::Rcfg},
    ReplyKey{"CLIP=", Field::Clip1, Form::ClipCtrl, Field::Clip2},
    ReplyKey{"CTRL=", Field::Ctrl1, Form::ClipCtrl, Field::Ctrl2},
    ReplyKey{"CSDC=", Field::Csdc, Form::Number},
    ReplyKey{"MCFG1=", Field::Mcfg1, Form::Number},
    ReplyKey{"MCFG2=", Field::Mcfg2, Form::Number},
    ReplyKey{"SMS", Field::Sms, Form::DigitText},
    ReplyKey{"LOGT=", Field::Logt, Form::Number},
    ReplyKey{"GRDHR=", Field::Grdhr, Form::List},
    ReplyKey{"APN", Field::Apn, Form::DigitText},
    ReplyKey{"EAD", Field::Ead, Form::DigitText},
    ReplyKey{"SEMLx=", Field::Seml, Form::List},
    ReplyKey{"ADELx=", Field::Adel, Form::List},
    ReplyKey{"SLOG=", Field::Slog, Form::Number},
    ReplyKey{"SLGT=", Field::Slgt, Form::Number},
    ReplyKey{"SXML=", Field::Sxml, Form::Number},
    ReplyKey{"XCFGx=", Field::Xcfg, Form::List},
    ReplyKey{"XMS", Field::Xms, Form::XmsText},
    ReplyKey{"ATIM=", Field::Atim, Form::Number},
    ReplyKey{"ECFGx=", Field::Ecfg, Form::List},
    ReplyKey{"SCLAx=", Field::Scla, Form::List},
    ReplyKey{"SCLBx=", Field::Sclb, Form::List},
    ReplyKey{"THTP=", Field::Thtp, Form::Number},
    ReplyKey{"NUID=", Field::Nuid, Form::Number},
    ReplyKey{"TGAC=", Field::Tgac, Form::Number},
    ReplyKey{"URL0=", Field::Url0, Form::Text},
    ReplyKey{"URL1=", Field::Url1, Form::Text},
    ReplyKey{"URL2=", Field::Url2, Form::Url2},
    ReplyKey{"XTYP1=", Field::Xtyp1, Form::Number},
    ReplyKey{"XTYP9=", Field::Xtyp9, Form::Number},
    ReplyKey{"XLO1=", Field::Xlo1, Form::Number},
    ReplyKey{"XHI1=", Field::Xhi1, Form::Number},
    ReplyKey{"XLO9=", Field::Xlo9, Form::Number},
    ReplyKey{"XHI9=", Field::Xhi9, Form::Number},
    ReplyKey{"WKDx=", Field::Wkd, Form::List},
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads the text of one reply; every access is bounds-checked, so the reply may hold
// anything.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    std::size_t size() const { return text_.size(); }
    char at(std::size_t i) const { return i < text_.size() ? text_[i] : '\0'; }
    bool startsWith(std::size_t i, std::string_view prefix) const {
        return i <= text_.size() && text_.substr(i, prefix.size()) == prefix;
    }

    // An optionally signed decimal number at i (blanks before it are allowed); the value
    // wraps modulo 2^32 as the module's own number types would. `end` is set past it.
    std::optional<std::uint32_t> number(std::size_t i, std::size_t& end) const {
        while (at(i) == ' ' || at(i) == '\t') ++i;
        bool negative = false;
        if (at(i) == '-' || at(i) == '+') negative = text_[i++] == '-';
        if (!isDigit(at(i))) return std::nullopt;
        std::uint32_t value = 0;
        for (; isDigit(at(i)); ++i) value = value * 10u + static_cast<std::uint32_t>(at(i) - '0');
        end = i;
        return negative ? 0u - value : value;
    }

    // Copies up to `field.size()` characters from i until a CR or the end; a NUL follows
    // a shorter text. Returns the number of characters copied.
    std::size_t copyText(std::size_t i, std::span<std::uint8_t> field) const {
        std::size_t n = 0;
        while (n < field.size() && i + n < text_.size() && text_[i + n] != kCR) {
            field[n] = static_cast<std::uint8_t>(text_[i + n]);
            ++n;
        }
        if (n < field.size()) field[n] = 0;
        return n;
    }

    // Where the value starting at i ends: at its CR or at the end of the text.
    std::size_t endOfLine(std::size_t i) const {
        const auto cr = text_.find(kCR, i);
        return cr == std::string_view::npos ? text_.size() : cr;
    }

private:
    std::string_view text_;
};

// Stores a number into one element at the element's own width.
void storeNumber(SettingsImage& image, Field id, int number, std::uint32_t value) {
    const auto element = image.element(id, number);
    if (element.size() == 1)
        element[0] = static_cast<std::uint8_t>(value);
    else
        bytes::put16le(element, 0, static_cast<std::uint16_t>(value));
}

// Values separated by single commas, one per element (the three bytes of an hour mask);
// the first missing number leaves it and the rest as they were.
void readList(const Cursor& c, std::size_t at, SettingsImage& image, Field id) {
    const FieldInfo& info = fieldInfo(id);
    const bool hourMask = info.kind == FieldKind::HourMask;
    const int count = hourMask ? 3 : info.count;
    for (int k = 0; k < count; ++k) {
        std::size_t end = at;
        const auto value = c.number(at, end);
        if (!value) return;
        if (hourMask)
            image.element(id)[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(*value);
        else
            storeNumber(image, id, info.first + k, *value);
        if (k + 1 < count) {
            if (c.at(end) != ',') return;
            at = end + 1;
        }
    }
}

void readOne(const Cursor& c, std::size_t at, SettingsImage& image, Field id) {
    std::size_t end = at;
    if (const auto value = c.number(at, end)) storeNumber(image, id, 0, *value);
}

// Permission values, each followed by a comma. The module writes them two characters
// wide, so value k+1 starts three characters after value k; a value of three digits
// (bit 7, "any number") would shift the rest, so the next value is read after the comma
// that ends the previous one, which is the same place for two-wide values.
void readSpacedValues(const Cursor& c, std::size_t at, SettingsImage& image, std::initializer_list<Field> values,
                      int present) {
    int k = 0;
    for (const Field id : values) {
        if (k > 0) image.setByte(id, 0);
        if (k < present) {
            std::size_t end = at;
            const auto value = c.number(at, end);
            if (value) storeNumber(image, id, 0, *value);
            at = value && c.at(end) == ',' ? end + 1 : at + 3;
        }
        ++k;
    }
}

void readUrl2(const Cursor& c, std::size_t at, SettingsImage& image) {
    image.setByte(Field::Url2Ext, 0, 0);
    image.setByte(Field::Url2Ext, 1, 0);
    const std::size_t copied = c.copyText(at, image.element(Field::Url2));
    if (copied < 6) return;
    for (int n = 0; n < 2; ++n) {
        const char ch = c.at(at + 6 + static_cast<std::size_t>(n));
        if (ch == '\0' || ch == kCR) return;
        image.setByte(Field::Url2Ext, n, static_cast<std::uint8_t>(ch));
    }
}

// Tries one key at position i; returns where scanning goes on, or 0 when the key does
// not stand there.
std::size_t tryKey(const Cursor& c, std::size_t i, const ReplyKey& key, SettingsImage& image,
                   const link::FirmwareVersion& version, FieldSet& found) {
    const std::string_view name = key.key;
    if (!c.startsWith(i, name)) return 0;
    const FieldInfo& info = fieldInfo(key.field);
    std::size_t value = i + name.size();
    int number = key.number;
    switch (key.form) {
    case Form::DigitText: {
        const char digit = c.at(value);
        if (!isDigit(digit) || !info.holds(digit - '0') || c.at(value + 1) != '=') return 0;
        number = digit - '0';
        value += 2;
        break;
    }
    case Form::XmsText: {
        if (!isDigit(c.at(value))) return 0;
        std::size_t end = value;
        const std::uint32_t n = c.number(value, end).value_or(0);
        const std::size_t equals = value + (n < 10 ? 1 : 2);
        if (!info.holds(static_cast<int>(std::min<std::uint32_t>(n, 255))) || c.at(equals) != '=') return i + 1;
        number = static_cast<int>(n);
        value = equals + 1;
        break;
    }
    default: break;
    }
    found |= fieldSet({key.field});
    switch (key.form) {
    case Form::Text:
    case Form::DigitText:
    case Form::XmsText:
        c.copyText(value, image.element(key.field, number));
        // A text is the module's content, not more keys: scanning resumes at its CR.
        return c.endOfLine(value);
    case Form::Url2: readUrl2(c, value, image); return c.endOfLine(value);
    case Form::Number: readOne(c, value, image, key.field); break;
    case Form::List: readList(c, value, image, key.field); break;
    case Form::Rcfg:
        readSpacedValues(c, value, image, {Field::Rcfg1, Field::Rcfg2, Field::Rcfg3},
                         version.versionCode >= link::kV26 ? 3 : version.versionCode >= link::kV20 ? 2 : 1);
        break;
    case Form::ClipCtrl:
        readSpacedValues(c, value, image, {key.field, key.second}, version.versionCode >= link::kV26 ? 2 : 1);
        break;
    }
    return value;
}

} // namespace

FieldSet parseReply(std::string_view reply, SettingsImage& target, const link::FirmwareVersion& version) {
    if (const auto nul = reply.find('\0'); nul != std::string_view::npos) reply = reply.substr(0, nul);
    const Cursor cursor(reply);
    FieldSet found = 0;
    std::size_t i = 0;
    while (i < cursor.size()) {
        std::size_t next = 0;
        for (const ReplyKey& key : kReplyKeys)
            if ((next = tryKey(cursor, i, key, target, version, found)) != 0) break;
        i = next > i ? next : i + 1;
    }
    return found;
}

} // namespace kavrel::config
