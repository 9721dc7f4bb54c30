#include "config/model/element_text.h"

#include <cstdio>

#include "common/win1250.h"
#include "config/model/conversions.h"

namespace kavrel::config {
namespace {

std::string quotedText(const std::string& cp1250Text) {
    std::string out = "\"";
    for (const char c : cp1250::toUtf8(cp1250Text)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string hexBytes(std::span<const std::uint8_t> bytes) {
    std::string out;
    char byte[4];
    for (const std::uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, out.empty() ? "%02X" : " %02X", b);
        out += byte;
    }
    return out;
}

// The category a threshold field is shown in, if it is one.
bool thresholdCategory(const SettingsImage& image, Field id, int number, LineCategory& category) {
    switch (id) {
    case Field::Ulo:
    case Field::Uhi: category = lineCategory(image, number); return true;
    case Field::Xlo1:
    case Field::Xhi1: category = extendedCategory(image.byte(Field::Xtyp1)); return true;
    case Field::Xlo9:
    case Field::Xhi9: category = extendedCategory(image.byte(Field::Xtyp9)); return true;
    default: return false;
    }
}

} // namespace

std::string elementValueText(const SettingsImage& image, const FieldInfo& info, int number) {
    const auto bytes = image.element(info.id, number);
    switch (info.kind) {
    case FieldKind::Text: return quotedText(textOfField(bytes));
    case FieldKind::Reserved: return hexBytes(bytes);
    case FieldKind::HourMask: return hexBytes(bytes) + " [" + hourMaskToText(bytes.first(3)) + "]";
    case FieldKind::SignedWord: return std::to_string(image.signedWord(info.id, number));
    case FieldKind::Word: {
        std::string text = std::to_string(image.word(info.id, number));
        LineCategory category{};
        if (thresholdCategory(image, info.id, number, category))
            text += " [" + cp1250::toUtf8(thresholdToText(image.word(info.id, number), category)) + "]";
        return text;
    }
    case FieldKind::Byte: {
        const std::uint8_t value = bytes[0];
        std::string text = std::to_string(value);
        if (info.id == Field::Adel) text += " [" + delayToText(value) + "]";
        if (info.id == Field::Wkd) text += " [" + dayMaskToText(value) + "]";
        if (info.id == Field::Url2Ext && value >= 0x20 && value != 0xFF)
            text += " " + quotedText(std::string(1, static_cast<char>(value)));
        return text;
    }
    }
    return {};
}

} // namespace kavrel::config
