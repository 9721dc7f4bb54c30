#include "config/ui/dialogs/custaw_sieciowe.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/address_form.h"

namespace kavrel::config::ui {

Custaw_sieciowe::Custaw_sieciowe(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Komunikacja z modułem Kavrel przez sieć"));
    form_ = new kavrel::ui::AddressForm({255, 160, "address", "Numer portu TCP", "port", 65535}, this);
    networkBox_ = new QCheckBox(QStringLiteral("Komunikacja przez sieć (zamiast portu RS-232)"), this);
    // Kept for the settings it mirrors, but never shown: the main window's radio buttons
    // decide between serial and TCP.
    networkBox_->setVisible(false);
    networkBox_->setEnabled(false);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &Custaw_sieciowe::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Custaw_sieciowe::reject);

    form_->show(address_, port_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addWidget(networkBox_);
    layout->addWidget(buttons);
}

void Custaw_sieciowe::setConnection(const QString& address, int port) {
    address_ = address;
    port_ = port;
}

void Custaw_sieciowe::setNetworkChosen(bool chosen) { networkBox_->setChecked(chosen); }

int Custaw_sieciowe::exec() {
    form_->show(address_, port_);
    return QDialog::exec();
}

void Custaw_sieciowe::accept() {
    if (form_->take(address_, port_)) QDialog::accept();
}

} // namespace kavrel::config::ui
