#include "config/ui/kit/settings_dialog.h"

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPushButton>

#include "config/ui/kit/field_edits.h"

namespace kavrel::config::ui {
namespace {

SettingsDialog::ProblemHandler& problemHandler() {
    static SettingsDialog::ProblemHandler handler = [](QWidget* dialog, const QString& message) {
        QMessageBox::warning(dialog, QStringLiteral("Konfigurator Kavrel"), message);
    };
    return handler;
}

QString problemOf(QLineEdit* field) {
    if (auto* number = qobject_cast<NumberEdit*>(field)) return number->problem();
    if (auto* text = qobject_cast<TextEdit*>(field)) return text->problem();
    return {};
}

} // namespace

void SettingsDialog::setProblemHandler(ProblemHandler handler) { problemHandler() = std::move(handler); }

void SettingsDialog::reportProblem(QWidget* dialog, const QString& message) { problemHandler()(dialog, message); }

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
    for (QLineEdit* field : checked_) {
        if (!field->isEnabled() && !field->isVisible()) continue;
        const QString problem = problemOf(field);
        if (problem.isEmpty()) continue;
        reportProblem(this, problem);
        field->setFocus();
        field->selectAll();
        return false;
    }
    return true;
}

void SettingsDialog::accept() {
    if (!checkFields()) return;
    writeBack();
    QDialog::accept();
}

} // namespace kavrel::config::ui
