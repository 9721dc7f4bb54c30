#include "config/protocol/reply_parser.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// A key's text comes from the field table: the field's key, then "=" ("PIN="), "x=" for a
// numbered list ("ICFGx=1,2,..."), the number and "=" for one element of a numbered
// text ("NUM10="), or nothing when a digit follows ("SMS3=").
struct ReplyKey {
    Field field;
    Form form;
    Field second = Field::Pin;  // CLIP/CTRL value 2
    int number = 0;             // the element a Text key fills (NUM10)
};

// In the order the keys are tried at each position.
constexpr std::array kReplyKeys = {
    ReplyKey{Field::Pin, Form::Text},
    ReplyKey{Field::Num, Form::DigitText},
    ReplyKey{Field::NumExt, Form::DigitText},
    ReplyKey{Field::NumExt, Form::Text, Field::Pin, 10},
    ReplyKey{Field::Trpt, Form::Number},
    ReplyKey{Field::Cops, Form::Number},
    ReplyKey{Field::Rpthr, Form::List},
    ReplyKey{Field::Almd, Form::List},
    ReplyKey{Field::Ulo, Form::List},
    ReplyKey{Field::Uhi, Form::List},
    ReplyKey{Field::Icfg, Form::List},
    ReplyKey{Field::Scfgn, Form::List},
    ReplyKey{Field::Ocfg, Form::List},
    ReplyKey{Field::Scfg, Form::Number},
    ReplyKey{Field::Slim, Form::Number},
    ReplyKey{Field::Hist1, Form::Number},
    ReplyKey{Field::Hist2, Form::Number},
    ReplyKey{Field::Rcfg1, Form::Rcfg},
    ReplyKey{Field::Clip1, Form::ClipCtrl, Field::Clip2},
    ReplyKey{Field::Ctrl1, Form::ClipCtrl, Field::Ctrl2},
    ReplyKey{Field::Csdc, Form::Number},
    ReplyKey{Field::Mcfg1, Form::Number},
    ReplyKey{Field::Mcfg2, Form::Number},
    ReplyKey{Field::Sms, Form::DigitText},
    ReplyKey{Field::Logt, Form::Number},
    ReplyKey{Field::Grdhr, Form::List},
    ReplyKey{Field::Apn, Form::DigitText},
    ReplyKey{Field::Ead, Form::DigitText},
    ReplyKey{Field::Seml, Form::List},
    ReplyKey{Field::Adel, Form::List},
    ReplyKey{Field::Slog, Form::Number},
    ReplyKey{Field::Slgt, Form::Number},
    ReplyKey{Field::Sxml, Form::Number},
    ReplyKey{Field::Xcfg, Form::List},
    ReplyKey{Field::Xms, Form::XmsText},
    ReplyKey{Field::Atim, Form::Number},
    ReplyKey{Field::Ecfg, Form::List},
    ReplyKey{Field::Scla, Form::List},
    ReplyKey{Field::Sclb, Form::List},
    ReplyKey{Field::Thtp, Form::Number},
    ReplyKey{Field::Nuid, Form::Number},
    ReplyKey{Field::Tgac, Form::Number},
    ReplyKey{Field::Url0, Form::Text},
    ReplyKey{Field::Url1, Form::Text},
    ReplyKey{Field::Url2, Form::Url2},
    ReplyKey{Field::Xtyp1, Form::Number},
    ReplyKey{Field::Xtyp9, Form::Number},
    ReplyKey{Field::Xlo1, Form::Number},
    ReplyKey{Field::Xhi1, Form::Number},
    ReplyKey{Field::Xlo9, Form::Number},
    ReplyKey{Field::Xhi9, Form::Number},
    ReplyKey{Field::Wkd, Form::List},
};

std::string keyText(const ReplyKey& key) {
    const FieldInfo& info = fieldInfo(key.field);
    std::string text = info.key;
    switch (key.form) {
    case Form::DigitText:
    case Form::XmsText: return text;
    case Form::List: return text + (info.numbering == Numbering::Suffix ? "x=" : "=");
    case Form::Text: return key.number != 0 ? text + std::to_string(key.number) + "=" : text + "=";
    default: return text + "=";
    }
}

// The texts of kReplyKeys, in the same order, built once.
const std::array<std::string, kReplyKeys.size()>& keyTexts() {
    static const auto texts = [] {
        std::array<std::string, kReplyKeys.size()> built;
        for (std::size_t k = 0; k < kReplyKeys.size(); ++k) built[k] = keyText(kReplyKeys[k]);
        return built;
    }();
    return texts;
}

// The indexes into kReplyKeys of the keys that begin with each byte, in kReplyKeys' order,
// built once: a position is tried only against the few keys that can stand there, and one
// whose byte begins no key costs a single look-up (the reply is mostly values and texts).
const std::array<std::vector<std::uint8_t>, 256>& keysByFirstByte() {
    static const auto table = [] {
        std::array<std::vector<std::uint8_t>, 256> built;
        const auto& texts = keyTexts();
        for (std::size_t k = 0; k < kReplyKeys.size(); ++k)
            built[static_cast<unsigned char>(texts[k].front())].push_back(static_cast<std::uint8_t>(k));
        return built;
    }();
    return table;
}

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
std::size_t tryKey(const Cursor& c, std::size_t i, const ReplyKey& key, std::string_view name, SettingsImage& image,
                   const link::FirmwareVersion& version, FieldSet& found) {
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
                         version.fromV26() ? 3 : version.fromV20() ? 2 : 1);
        break;
    case Form::ClipCtrl:
        readSpacedValues(c, value, image, {key.field, key.second}, version.fromV26() ? 2 : 1);
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
    const auto& names = keyTexts();
    const auto& candidates = keysByFirstByte();
    while (i < cursor.size()) {
        std::size_t next = 0;
        for (const std::uint8_t k : candidates[static_cast<unsigned char>(cursor.at(i))])
            if ((next = tryKey(cursor, i, kReplyKeys[k], names[k], target, version, found)) != 0) break;
        i = next > i ? next : i + 1;
    }
    return found;
}

} // namespace kavrel::config
