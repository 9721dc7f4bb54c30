// "Komunikacja z modułem Kavrel przez sieć": the module's IP address and TCP port. One
// object lives as long as the main window, so its values carry over between openings.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;

namespace kavrel::ui {
class AddressForm;
}

namespace kavrel::config::ui {

class Custaw_sieciowe : public QDialog {
    Q_OBJECT
public:
    explicit Custaw_sieciowe(QWidget* parent = nullptr);

    QString address() const { return address_; }
    int port() const { return port_; }
    void setConnection(const QString& address, int port);
    // The hidden "Komunikacja przez sieć" box follows the main window's TCP choice.
    void setNetworkChosen(bool chosen);

    // Shows the values, runs the dialog; the values change only on "Wprowadź".
    int exec() override;

public slots:
    void accept() override;

private:
    kavrel::ui::AddressForm* form_;
    QCheckBox* networkBox_;
    QString address_ = QStringLiteral("192.168.2.1");
    int port_ = 23;
};

} // namespace kavrel::config::ui
