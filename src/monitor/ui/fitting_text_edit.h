// A text field of the monitor's dialogs that takes more characters than the settings
// keep: the dialog lets the user type `typed` characters, and "Wprowadź" refuses more
// than `fits` with the standard length message.
#pragma once

#include "common/qt/fields/field_edits.h"

namespace kavrel::monitor::ui {

class FittingTextEdit : public kavrel::ui::CheckedEdit {
    Q_OBJECT
public:
    FittingTextEdit(int typed, int fits, QWidget* parent = nullptr);
    QString problem() const override;

private:
    int fits_;
};

} // namespace kavrel::monitor::ui
