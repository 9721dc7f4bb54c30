#include "logger/ui/custaw_tcpip.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/address_form.h"
#include "logger/settings/logger_settings.h"

namespace kavrel::logger::ui {

Custaw_tcpip::Custaw_tcpip(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Ustawienia transmisji TCP/IP"));
    form_ = new kavrel::ui::AddressForm(
        {static_cast<int>(kMaxAddressLength), 170, "Adres_IP", "Nr portu TCP", "Port_TCP", kMaxTcpPort}, this);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &Custaw_tcpip::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Custaw_tcpip::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form_);
    layout->addWidget(buttons);
    setConnection(QStringLiteral("192.168.2.1"), 23);
}

void Custaw_tcpip::setConnection(const QString& address, int port) {
    address_ = address;
    port_ = port;
    form_->show(address_, port_);
}

int Custaw_tcpip::exec() {
    form_->show(address_, port_);
    return QDialog::exec();
}

void Custaw_tcpip::accept() {
    if (form_->take(address_, port_)) QDialog::accept();
}

} // namespace kavrel::logger::ui
