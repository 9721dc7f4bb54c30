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
    QList<QLineEdit*> shown;
    for (QLineEdit* field : checked_)
        if (field->isEnabled() || field->isVisible()) shown.append(field);
    return kavrel::ui::checkFields(this, shown);
}

void SettingsDialog::accept() {
    if (!checkFields()) return;
    writeBack();
    QDialog::accept();
}

} // namespace kavrel::config::ui
