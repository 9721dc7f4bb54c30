// "Ustawienia transmisji TCP/IP": the module's IP address and TCP port. One object lives
// as long as the window, so its values carry over between openings; they take effect at
// the next "Połącz".
#pragma once

#include <QDialog>
#include <QString>

namespace kavrel::ui {
class AddressForm;
}

namespace kavrel::logger::ui {

class Custaw_tcpip : public QDialog {
    Q_OBJECT
public:
    explicit Custaw_tcpip(QWidget* parent = nullptr);

    QString address() const { return address_; }
    int port() const { return port_; }
    void setConnection(const QString& address, int port);

    // Shows the values; they change only on "Wprowadź" with a port that passes.
    int exec() override;

public slots:
    void accept() override;

private:
    kavrel::ui::AddressForm* form_;
    QString address_;
    int port_ = 0;
};

} // namespace kavrel::logger::ui
