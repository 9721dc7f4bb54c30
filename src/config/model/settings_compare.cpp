#include "config/model/settings_compare.h"

#include <algorithm>

#include "config/model/field_captions.h"
#include "config/model/settings_dump.h"

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
            change.before = elementValueText(before, info, number);
            change.after = elementValueText(after, info, number);
            changes.push_back(std::move(change));
        }
    }
    return changes;
}

} // namespace kavrel::config
