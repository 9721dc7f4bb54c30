#include "config/ui/kit/threshold_edit.h"

#include "common/qt/qt_text.h"

namespace kavrel::config::ui {

ThresholdEdit::ThresholdEdit(QWidget* parent) : QLineEdit(parent) {
    setAlignment(Qt::AlignRight);
    setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("-273.2 'C")) + 16);
}

void ThresholdEdit::showRaw(std::uint16_t raw, LineCategory category) {
    shownRaw_ = raw;
    shownText_ = toQString(thresholdToText(raw, category));
    setText(shownText_);
}

std::uint16_t ThresholdEdit::raw(LineCategory category) const {
    if (text() == shownText_) return shownRaw_;
    return textToThreshold(fromQString(text()), category);
}

} // namespace kavrel::config::ui
