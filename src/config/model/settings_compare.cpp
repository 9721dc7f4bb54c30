#include "config/model/settings_compare.h"

#include <algorithm>

#include "config/model/field_captions.h"
#include "config/model/element_text.h"

namespace kavrel::config {
namespace {

// The bytes of an element that carry its value in the chosen mode.
std::span<const std::uint8_t> significant(const SettingsImage& image, const FieldInfo& info, int number,
                                          CompareMode mode) {
    const auto bytes = image.element(info.id, number);
    if (mode == CompareMode::Bytes) return bytes;
    if (info.kind == FieldKind::HourMask) return bytes.first(3);
    if (info.kind == FieldKind::Text) {
        const auto end = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == 0 || b == 0xFF; });
        return bytes.first(static_cast<std::size_t>(end - bytes.begin()));
    }
    return bytes;
}

// Bytes whose bits are separate options (lines, numbers, switches): a changed option is
// easier to see in the bits than in the decimal value.
bool holdsBits(Field id) {
    switch (id) {
    case Field::Icfg: case Field::Ocfg: case Field::Scfgn: case Field::Scfg: case Field::Rcfg1: case Field::Clip1:
    case Field::Ctrl1: case Field::Csdc: case Field::Mcfg1: case Field::Almd: case Field::Seml: case Field::Slgt:
    case Field::Rcfg2: case Field::Mcfg2: case Field::Xcfg: case Field::Sxml: case Field::Ecfg: case Field::Rcfg3:
    case Field::Clip2: case Field::Ctrl2: return true;
    default: return false;
    }
}

std::string shownValue(const SettingsImage& image, const FieldInfo& info, int number, CompareMode mode) {
    std::string text = elementValueText(image, info, number);
    if (mode == CompareMode::Values && holdsBits(info.id)) {
        const std::uint8_t value = image.byte(info.id, number);
        text += " [";
        for (int bit = 7; bit >= 0; --bit) text += (value >> bit) & 1 ? '1' : '0';
        text += "]";
    }
    return text;
}

} // namespace

std::vector<FieldChange> compareSettings(const SettingsImage& before, const SettingsImage& after, CompareMode mode,
                                         const ElementFilter& include) {
    std::vector<FieldChange> changes;
    for (const FieldInfo& info : fieldTable()) {
        if (mode == CompareMode::Values && info.kind == FieldKind::Reserved) continue;
        for (int number = info.first; number <= info.last(); ++number) {
            if (include && !include(info, number)) continue;
            const auto left = significant(before, info, number, mode);
            const auto right = significant(after, info, number, mode);
            if (std::equal(left.begin(), left.end(), right.begin(), right.end())) continue;
            const auto differing = std::mismatch(left.begin(), left.end(), right.begin(), right.end()).first;
            FieldChange change;
            change.info = &info;
            change.number = number;
            change.key = fieldName(info, number);
            change.label = fieldLabel(info, number, static_cast<int>(differing - left.begin()) + 1);
            change.caption = fieldCaption(info, number);
            change.before = shownValue(before, info, number, mode);
            change.after = shownValue(after, info, number, mode);
            changes.push_back(std::move(change));
        }
    }
    return changes;
}

} // namespace kavrel::config
