#include "monitor/ui/field_checks.h"

#include "config/ui/kit/field_edits.h"
#include "config/ui/kit/settings_dialog.h"

namespace kavrel::monitor::ui {

using config::ui::NumberEdit;
using config::ui::SettingsDialog;
using config::ui::TextEdit;

FittingTextEdit::FittingTextEdit(int typed, int fits, QWidget* parent) : QLineEdit(parent), fits_(fits) {
    setMaxLength(typed);
}

QString FittingTextEdit::problem() const {
    return text().size() > fits_ ? config::ui::textLengthMessage(fits_) : QString();
}

namespace {

QString problemOf(QLineEdit* field) {
    if (auto* number = qobject_cast<NumberEdit*>(field)) return number->problem();
    if (auto* text = qobject_cast<TextEdit*>(field)) return text->problem();
    if (auto* text = qobject_cast<FittingTextEdit*>(field)) return text->problem();
    return {};
}

} // namespace

bool checkFields(QWidget* dialog, const QList<QLineEdit*>& fields) {
    for (QLineEdit* field : fields) {
        const QString problem = problemOf(field);
        if (problem.isEmpty()) continue;
        SettingsDialog::reportProblem(dialog, problem);
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

} // namespace kavrel::monitor::ui
