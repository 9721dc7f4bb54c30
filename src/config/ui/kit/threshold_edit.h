// A threshold field: shows a raw 16-bit threshold as text in a line category ("26.8 'C",
// "50 %", "3000 mV") and reads the text back. It remembers the raw value it last showed, so
// a text the user did not touch gives back exactly that value: changing a line's sensor
// type, or accepting a dialog unchanged, never shifts a threshold by the rounding of its
// text (a humidity shown as whole percent, a raw value below the humidity scale).
#pragma once

#include <QLineEdit>
#include <cstdint>

#include "config/model/conversions.h"

namespace kavrel::config::ui {

class ThresholdEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit ThresholdEdit(QWidget* parent = nullptr);

    void showRaw(std::uint16_t raw, LineCategory category);
    // The remembered raw value while the text is the one shown, else the typed text read
    // in the category.
    std::uint16_t raw(LineCategory category) const;

private:
    std::uint16_t shownRaw_ = 0;
    QString shownText_;
};

} // namespace kavrel::config::ui
