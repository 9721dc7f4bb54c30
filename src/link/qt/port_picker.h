// The port picker: a "..." button beside a COM number field that opens "Wybierz port",
// the list of serial ports, and assigns the chosen device to the number shown (on
// Windows, where COM n is the port itself, it puts the chosen port's number into the
// field). The field's tool tip names the device its number reaches.
//
// A window wires it in with one line where it lays the field out:
//     grid->addWidget(kavrel::withPortPicker(comEdit, settings), row, column);
#pragma once

#include <QDialog>
#include <QToolButton>
#include <functional>
#include <optional>

#include "link/qt/serial_port_list.h"
#include "common/settings_store.h"

class QLabel;
class QLineEdit;
class QSpinBox;
class QTableView;

namespace kavrel {

class SerialPortModel;

class PortPickerDialog : public QDialog {
    Q_OBJECT
public:
    PortPickerDialog(int comNumber, SettingsStore& settings, SerialPortSource source = systemSerialPorts,
                     QWidget* parent = nullptr);

    SerialPortModel& model() { return *model_; }
    QTableView& table() { return *table_; }
    // The device to assign: the selected row's (its stable /dev/serial/by-id name where it
    // has one), or one typed by hand.
    QString device() const;
    void setDevice(const QString& device);
    // The COM number the choice leaves in the field (the port's own on Windows).
    int comNumber() const;

    void refresh();
    // Forgets the number's device, so it falls back to its default.
    void restoreDefault();

public slots:
    // Stores the choice; stays open with a message when the settings refuse it.
    void accept() override;

private:
    void showCurrentDevice();

    int comNumber_;
    SettingsStore& settings_;
    SerialPortModel* model_;
    QTableView* table_;
    QLineEdit* deviceEdit_;
    QLabel* currentLabel_;
    QPushButton* chooseButton_;
};

class PortPickerButton : public QToolButton {
    Q_OBJECT
public:
    using NumberGetter = std::function<std::optional<int>()>;
    using NumberSetter = std::function<void(int)>;

    // field: the COM number's edit, whose tool tip and enabled state the button follows.
    PortPickerButton(QWidget* field, NumberGetter number, NumberSetter setNumber, SettingsStore& settings,
                     QWidget* parent = nullptr);

    // Where the dialog lists ports from (the system by default; a fixed list in tests).
    void setSource(SerialPortSource source) { source_ = std::move(source); }
    // Opens the dialog for the number in the field.
    void pick();
    // Refreshes the field's tool tip: "COM3: /dev/ttyUSB0".
    void updateToolTip();

signals:
    void portChosen(int comNumber, const QString& device);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* field_;
    NumberGetter number_;
    NumberSetter setNumber_;
    SettingsStore& settings_;
    SerialPortSource source_ = systemSerialPorts;
};

// The field with its "..." button beside it, to lay out where the field alone was.
QWidget* withPortPicker(QLineEdit* comEdit, SettingsStore& settings);
QWidget* withPortPicker(QSpinBox* comSpin, SettingsStore& settings);

// The device a COM number opens, as the field's tool tip shows it.
QString comDeviceText(int comNumber, const SettingsStore& settings);

} // namespace kavrel
