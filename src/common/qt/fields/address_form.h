// The two rows of a TCP connection's dialog: the module's address and its port, checked as
// every settings field is. Each dialog gives its own captions, limits and field names.
#pragma once

#include <QFormLayout>
#include <QString>

namespace kavrel::ui {

class NumberEdit;
class TextEdit;

struct AddressFormRows {
    int addressLength;        // the longest address the settings keep
    int addressMinWidth;      // in pixels
    const char* addressName;  // the fields' object names
    const char* portCaption;
    const char* portName;
    int maxPort;
};

class AddressForm : public QFormLayout {
public:
    // The edits are children of owner; the form is added to its layout by the caller.
    AddressForm(const AddressFormRows& rows, QWidget* owner);

    void show(const QString& address, int port);
    // The edits' values, once the port passes (a refusal is said in a box over owner).
    bool take(QString& address, int& port);

private:
    QWidget* owner_;
    TextEdit* addressEdit_;
    NumberEdit* portEdit_;
};

} // namespace kavrel::ui
