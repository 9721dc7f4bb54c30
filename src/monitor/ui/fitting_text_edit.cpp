#include "monitor/ui/fitting_text_edit.h"

namespace kavrel::monitor::ui {

FittingTextEdit::FittingTextEdit(int typed, int fits, QWidget* parent) : CheckedEdit(parent), fits_(fits) {
    setMaxLength(typed);
}

QString FittingTextEdit::problem() const {
    if (text().size() > fits_) return kavrel::ui::textLengthMessage(fits_);
    return kavrel::ui::codePageProblem(text());
}

} // namespace kavrel::monitor::ui
