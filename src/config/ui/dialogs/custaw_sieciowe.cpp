#include "config/ui/dialogs/custaw_sieciowe.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"

namespace kavrel::config::ui {

Custaw_sieciowe::Custaw_sieciowe(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Komunikacja z modułem Kavrel przez sieć"));
    addressEdit_ = new kavrel::ui::TextEdit(255, this);
    addressEdit_->setObjectName(QStringLiteral("address"));
    addressEdit_->setMinimumWidth(160);
    portEdit_ = new kavrel::ui::NumberEdit(0, 65535, this);
    portEdit_->setObjectName(QStringLiteral("port"));
    networkBox_ = new QCheckBox(QStringLiteral("Komunikacja przez sieć (zamiast portu RS-232)"), this);
    // Kept for the settings it mirrors, but never shown: the main window's radio buttons
    // decide between serial and TCP.
    networkBox_->setVisible(false);
    networkBox_->setEnabled(false);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Adres IP modułu Kavrel"), addressEdit_);
    form->addRow(QStringLiteral("Numer portu TCP"), portEdit_);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &Custaw_sieciowe::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Custaw_sieciowe::reject);

    addressEdit_->setText(address_);
    portEdit_->setNumber(port_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(networkBox_);
    layout->addWidget(buttons);
}

void Custaw_sieciowe::setConnection(const QString& address, int port) {
    address_ = address;
    port_ = port;
}

void Custaw_sieciowe::setNetworkChosen(bool chosen) { networkBox_->setChecked(chosen); }

int Custaw_sieciowe::exec() {
    addressEdit_->setText(address_);
    portEdit_->setNumber(port_);
    return QDialog::exec();
}

void Custaw_sieciowe::accept() {
    if (!kavrel::ui::checkField(this, portEdit_)) return;
    address_ = addressEdit_->text().trimmed();
    port_ = *portEdit_->number();
    QDialog::accept();
}

} // namespace kavrel::config::ui
