#include "monitor/ui/fitting_text_edit.h"

namespace kavrel::monitor::ui {

FittingTextEdit::FittingTextEdit(int typed, int fits, QWidget* parent) : CheckedEdit(parent), fits_(fits) {
    setMaxLength(typed);
}

QString FittingTextEdit::problem() const {
    return text().size() > fits_ ? kavrel::ui::textLengthMessage(fits_) : QString();
}

} // namespace kavrel::monitor::ui
