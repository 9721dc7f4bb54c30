#include "common/qt/fields/address_form.h"

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"

namespace kavrel::ui {

AddressForm::AddressForm(const AddressFormRows& rows, QWidget* owner) : owner_(owner) {
    addressEdit_ = new TextEdit(rows.addressLength, owner);
    addressEdit_->setObjectName(QString::fromLatin1(rows.addressName));
    addressEdit_->setMinimumWidth(rows.addressMinWidth);
    portEdit_ = new NumberEdit(0, rows.maxPort, owner);
    portEdit_->setObjectName(QString::fromLatin1(rows.portName));
    addRow(QStringLiteral("Adres IP modułu Kavrel"), addressEdit_);
    addRow(QString::fromUtf8(rows.portCaption), portEdit_);
}

void AddressForm::show(const QString& address, int port) {
    addressEdit_->setText(address);
    portEdit_->setNumber(port);
}

bool AddressForm::take(QString& address, int& port) {
    if (!checkField(owner_, portEdit_)) return false;
    address = addressEdit_->text().trimmed();
    port = *portEdit_->number();
    return true;
}

} // namespace kavrel::ui
