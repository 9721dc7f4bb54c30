// The frame every settings dialog of the configurator shares: it works on its own copy
// of the settings record, fills its controls from it when built, and only when the user
// presses "Wprowadź" and every field passes its check does it write the controls back
// into the copy. The main window takes the copy back after exec() returned Accepted;
// "Anuluj" leaves the main window's record untouched.
#pragma once

#include <QDialog>
#include <QList>

#include "config/model/settings_image.h"

class QDialogButtonBox;
class QLineEdit;

namespace kavrel::config::ui {

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    const SettingsImage& record() const { return record_; }

    // Checks every field in the order it was added; the first refused field gets the
    // focus and its message (through field_checks.h). True when all passed.
    bool checkFields();

public slots:
    void accept() override;

protected:
    SettingsDialog(const SettingsImage& record, const QString& title, QWidget* parent);

    // Every edit shows its text from the beginning (a filled edit has its cursor, and its
    // view, at the end: a long phone number, APN or address would show only its tail).
    void showEvent(QShowEvent* event) override;

    // Builds "Wprowadź" (the default button) and "Anuluj".
    QDialogButtonBox* makeButtons();
    // Fields are checked in the order they are added here.
    void addChecked(QLineEdit* field) { checked_.append(field); }

    // Writes the controls into record_; called only after every check passed.
    virtual void writeBack() = 0;

    SettingsImage record_;

private:
    QList<QLineEdit*> checked_;
};

} // namespace kavrel::config::ui
