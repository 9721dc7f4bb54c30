// The checks the monitor's dialogs run when "Wprowadź" is pressed, with the dialog kit's
// fields and messages: the first field that does not pass is reported and gets the focus.
#pragma once

#include <QLineEdit>
#include <QList>

namespace kavrel::monitor::ui {

// A text field that takes up to `typed` characters (as the dialog allows typing) but is
// refused with the standard length message when it holds more than the settings keep.
class FittingTextEdit : public QLineEdit {
    Q_OBJECT
public:
    FittingTextEdit(int typed, int fits, QWidget* parent = nullptr);
    QString problem() const;
    int fits() const { return fits_; }

private:
    int fits_;
};

// True when every field passes; otherwise the first refused one is reported through the
// kit's problem handler, focused and selected.
bool checkFields(QWidget* dialog, const QList<QLineEdit*>& fields);

} // namespace kavrel::monitor::ui
