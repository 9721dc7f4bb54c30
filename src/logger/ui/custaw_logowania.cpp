#include "logger/ui/custaw_logowania.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "logger/commands/module_commands.h"

namespace kavrel::logger::ui {

Custaw_logowania::Custaw_logowania(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Ustawienia logowania"));
    periodEdit_ = new kavrel::ui::NumberEdit(0, kMaxLoggingPeriod, this);
    periodEdit_->setObjectName(QStringLiteral("LOGT"));
    clockBox_ = new QCheckBox(QStringLiteral("Ustaw zegar według komputera PC"), this);

    auto* periodRow = new QHBoxLayout;
    periodRow->addWidget(new QLabel(QStringLiteral("Okres rejestracji pomiarów:"), this));
    periodRow->addWidget(periodEdit_);
    periodRow->addWidget(new QLabel(QStringLiteral("minut"), this));
    periodRow->addStretch();

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &Custaw_logowania::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Custaw_logowania::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(periodRow);
    layout->addWidget(clockBox_);
    layout->addWidget(buttons);
}

void Custaw_logowania::setPeriod(int minutes) {
    period_ = minutes;
    periodEdit_->setNumber(period_);
}

int Custaw_logowania::exec() {
    periodEdit_->setNumber(period_);
    clockBox_->setChecked(setClock_);
    return QDialog::exec();
}

void Custaw_logowania::accept() {
    if (!kavrel::ui::checkField(this, periodEdit_)) return;
    period_ = *periodEdit_->number();
    setClock_ = clockBox_->isChecked();
    QDialog::accept();
}

} // namespace kavrel::logger::ui
