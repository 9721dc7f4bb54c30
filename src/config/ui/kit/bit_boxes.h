// Check boxes that stand for bits of record bytes, bound by a table so that a dialog
// fills and collects a whole family of boxes in one call.
#pragma once

#include <QCheckBox>
#include <span>

#include "config/model/settings_image.h"
#include "config/ui/kit/field_names.h"

namespace kavrel::config::ui {

struct BitBox {
    QCheckBox* box;
    Field field;
    int number;  // element number (ICFG3: 3), 0 for single fields
    int bit;
};

// Names every box after its bit ("SEML3_0"), as field_names.h says.
inline void nameBitBoxes(std::span<const BitBox> boxes) {
    for (const BitBox& b : boxes) nameAfterBit(b.box, b.field, b.number, b.bit);
}

inline void fillBitBoxes(std::span<const BitBox> boxes, const SettingsImage& record) {
    for (const BitBox& b : boxes) b.box->setChecked((record.byte(b.field, b.number) >> b.bit) & 1);
}

// Sets or clears exactly the bound bits; the other bits of each byte keep their values.
inline void collectBitBoxes(std::span<const BitBox> boxes, SettingsImage& record) {
    for (const BitBox& b : boxes) {
        const auto mask = static_cast<std::uint8_t>(1u << b.bit);
        const std::uint8_t old = record.byte(b.field, b.number);
        record.setByte(b.field, b.number, static_cast<std::uint8_t>(b.box->isChecked() ? old | mask : old & ~mask));
    }
}

} // namespace kavrel::config::ui
