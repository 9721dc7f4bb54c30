#include "logger/ui/custaw_tcpip.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "logger/settings/logger_settings.h"

namespace kavrel::logger::ui {

Custaw_tcpip::Custaw_tcpip(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Ustawienia transmisji TCP/IP"));
    addressEdit_ = new kavrel::ui::TextEdit(static_cast<int>(kMaxAddressLength), this);
    addressEdit_->setObjectName(QStringLiteral("Adres_IP"));
    addressEdit_->setMinimumWidth(170);
    portEdit_ = new kavrel::ui::NumberEdit(0, kMaxTcpPort, this);
    portEdit_->setObjectName(QStringLiteral("Port_TCP"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Adres IP modułu Kavrel"), addressEdit_);
    form->addRow(QStringLiteral("Nr portu TCP"), portEdit_);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Wprowadź"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &Custaw_tcpip::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &Custaw_tcpip::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    setConnection(QStringLiteral("192.168.2.1"), 23);
}

void Custaw_tcpip::setConnection(const QString& address, int port) {
    address_ = address;
    port_ = port;
    addressEdit_->setText(address_);
    portEdit_->setNumber(port_);
}

int Custaw_tcpip::exec() {
    addressEdit_->setText(address_);
    portEdit_->setNumber(port_);
    return QDialog::exec();
}

void Custaw_tcpip::accept() {
    if (!kavrel::ui::checkField(this, portEdit_)) return;
    address_ = addressEdit_->text().trimmed();
    port_ = *portEdit_->number();
    QDialog::accept();
}

} // namespace kavrel::logger::ui
