#include "config/ui/kit/settings_dialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include "common/qt/fields/field_checks.h"

namespace kavrel::config::ui {

SettingsDialog::SettingsDialog(const SettingsImage& record, const QString& title, QWidget* parent)
    : QDialog(parent), record_(record) {
    setWindowTitle(title);
}

void SettingsDialog::showEvent(QShowEvent* event) {
    for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->setCursorPosition(0);
    QDialog::showEvent(event);
}

QDialogButtonBox* SettingsDialog::makeButtons() {
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* accept = buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    accept->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsDialog::reject);
    return buttons;
}

bool SettingsDialog::checkFields() {
    // A field both disabled and hidden is not part of the settings the user can see.
    const auto seen = [](QLineEdit* field) { return field->isEnabled() || field->isVisible(); };
    QList<QLineEdit*> shown;
    for (QLineEdit* field : checked_)
        if (seen(field)) shown.append(field);
    if (!kavrel::ui::checkFields(this, shown)) return false;
    // Every text field, checked for length or only cut to its size, keeps its letters: one
    // the module's code page has no byte for would be stored as "?".
    QList<QLineEdit*> texts;
    for (QLineEdit* field : findChildren<QLineEdit*>())
        if (seen(field) && !shown.contains(field)) texts.append(field);
    return kavrel::ui::checkCodePage(this, texts);
}

void SettingsDialog::accept() {
    if (!checkFields()) return;
    writeBack();
    QDialog::accept();
}

} // namespace kavrel::config::ui
