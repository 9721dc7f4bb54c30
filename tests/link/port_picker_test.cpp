// The port picker over a fixed list of ports, and the start-up helper every program
// calls: Polish standard dialogs and the programs' icons.
#include <QApplication>
#include <QDialogButtonBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "link/qt/port_picker.h"
#include "link/qt/serial_port_model.h"
#include "link/ports/port_mapping.h"

using namespace kavrel;

namespace {

SerialPortEntry usbAdapter(QString device, QString serial) {
    SerialPortEntry entry;
    entry.device = std::move(device);
    entry.description = QStringLiteral("FT232R USB UART");
    entry.manufacturer = QStringLiteral("FTDI");
    entry.serialNumber = std::move(serial);
    entry.vendorId = 0x0403;
    entry.productId = 0x6001;
    return entry;
}

QList<SerialPortEntry> fakePorts() {
    SerialPortEntry onboard;
    onboard.device = QStringLiteral("/dev/ttyS0");
    return {onboard, usbAdapter(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("A50285BI")),
            usbAdapter(QStringLiteral("/dev/ttyUSB1"), QStringLiteral("A50285BJ"))};
}

QString cell(const SerialPortModel& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

// Closes the next message box the code under test opens, and remembers its text.
void answerNextMessageBox(QString& text) {
    QTimer::singleShot(0, [&text] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            box->accept();
        }
    });
}

} // namespace

class PortPickerTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        for (const char* name : {"KAVREL_COM1", "KAVREL_COM3", "KAVREL_COM4"}) qunsetenv(name);
    }

    void modelListsPortsWithTheirComNumbersAndMappedDevicesTheSystemMisses() {
        MemoryStore store;
        link::storeSerialDevicePath(store, 3, "/dev/ttyUSB1");
        link::storeSerialDevicePath(store, 4, "/dev/kavrel-odlaczony");
        SerialPortModel model(fakePorts, &store);

        QCOMPARE(model.rowCount(), 4);
        QCOMPARE(model.headerData(SerialPortModel::kUsbId, Qt::Horizontal).toString(), QStringLiteral("USB VID:PID"));
        QCOMPARE(cell(model, 0, SerialPortModel::kDevice), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(cell(model, 0, SerialPortModel::kComNumbers), QStringLiteral("COM1"));
        QCOMPARE(cell(model, 0, SerialPortModel::kUsbId), QString());
        QCOMPARE(cell(model, 2, SerialPortModel::kDescription), QStringLiteral("FT232R USB UART"));
        QCOMPARE(cell(model, 2, SerialPortModel::kSerialNumber), QStringLiteral("A50285BJ"));
        QCOMPARE(cell(model, 2, SerialPortModel::kUsbId), QStringLiteral("0403:6001"));
        QCOMPARE(cell(model, 2, SerialPortModel::kComNumbers), QStringLiteral("COM3"));
        QCOMPARE(cell(model, 1, SerialPortModel::kComNumbers), QString());
        QCOMPARE(cell(model, 3, SerialPortModel::kDevice), QStringLiteral("/dev/kavrel-odlaczony"));
        QCOMPARE(cell(model, 3, SerialPortModel::kDescription), QStringLiteral("(urządzenie nieobecne)"));
        QCOMPARE(cell(model, 3, SerialPortModel::kComNumbers), QStringLiteral("COM4"));

        // A mapping changed elsewhere shows after a refresh.
        link::storeSerialDevicePath(store, 1, "/dev/ttyUSB0");
        model.refresh();
        QCOMPARE(cell(model, 0, SerialPortModel::kComNumbers), QString());
        QCOMPARE(cell(model, 1, SerialPortModel::kComNumbers), QStringLiteral("COM1"));
    }

    void choosingARowStoresTheDeviceForTheNumberShownAndTheLinkOpensIt() {
        MemoryStore store;
        PortPickerDialog dialog(4, store, fakePorts);
        QCOMPARE(dialog.device(), QStringLiteral("/dev/ttyS3"));  // the default, not in the list
        dialog.table().selectRow(1);
        QCOMPARE(dialog.device(), QStringLiteral("/dev/ttyUSB0"));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.comNumber(), 4);
        QCOMPARE(link::serialDevicePath(4, &store), std::string("/dev/ttyUSB0"));

        // Opened again, it shows the mapping, and "Przywróć domyślny" forgets it.
        PortPickerDialog again(4, store, fakePorts);
        QCOMPARE(again.table().currentIndex().row(), 1);
        QCOMPARE(again.device(), QStringLiteral("/dev/ttyUSB0"));
        again.restoreDefault();
        QCOMPARE(link::serialDevicePath(4, &store), std::string("/dev/ttyS3"));
        QCOMPARE(again.device(), QStringLiteral("/dev/ttyS3"));
    }

    void anAdapterIsOfferedAndStoredByItsStableNameAndFoundByEither() {
        const QString stable = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BJ-if00-port0");
        const SerialPortSource ports = [stable] {
            QList<SerialPortEntry> list = fakePorts();
            list[2].stableName = stable;
            list[2].access = link::PortAccess::InUse;
            return list;
        };
        MemoryStore store;
        link::storeSerialDevicePath(store, 5, stable.toStdString());
        link::storeSerialDevicePath(store, 7, "/dev/ttyUSB1");
        SerialPortModel model(ports, &store);
        QCOMPARE(model.rowCount(), 3);   // the stored stable name is the listed adapter, not a row of its own
        QCOMPARE(cell(model, 2, SerialPortModel::kComNumbers), QStringLiteral("COM5, COM7"));
        QCOMPARE(cell(model, 2, SerialPortModel::kAccess), QStringLiteral("zajęty przez inny program"));
        QCOMPARE(cell(model, 1, SerialPortModel::kAccess), QString());
        QCOMPARE(model.data(model.index(2, SerialPortModel::kDevice), Qt::ToolTipRole).toString(), stable);

        PortPickerDialog dialog(5, store, ports);
        QCOMPARE(dialog.table().currentIndex().row(), 2);
        dialog.table().selectRow(1);
        dialog.table().selectRow(2);
        QCOMPARE(dialog.device(), stable);
        // Typed by its present name, it is stored by its stable name all the same.
        PortPickerDialog typed(7, store, ports);
        typed.setDevice(QStringLiteral("/dev/ttyUSB1"));
        typed.accept();
        QCOMPARE(link::serialDevicePath(7, &store), stable.toStdString());
        QCOMPARE(typed.device(), stable);
    }

    void theListGettingTheFocusKeepsTheDeviceTheNumberUsesNow() {
        MemoryStore store;
        link::storeSerialDevicePath(store, 3, "/dev/ttyUSB1");
        for (const int number : {3, 4}) {   // a mapped device in the list, and a default that is not
            PortPickerDialog dialog(number, store, fakePorts);
            const QString shown = dialog.device();
            // A view that gets the focus without a current row makes its first row current.
            QFocusEvent focusIn(QEvent::FocusIn, Qt::TabFocusReason);
            QApplication::sendEvent(&dialog.table(), &focusIn);
            QApplication::sendEvent(dialog.table().viewport(), &focusIn);
            QCOMPARE(dialog.device(), shown);
            dialog.accept();   // Enter: the mapping stays as it was
            QCOMPARE(link::serialDevicePath(number, &store), shown.toStdString());
        }
    }

    void aTypedDeviceIsStoredAndARefusedSaveKeepsTheDialogOpen() {
        MemoryStore store;
        PortPickerDialog dialog(2, store, fakePorts);
        dialog.setDevice(QStringLiteral("/dev/pts/7"));
        dialog.accept();
        QCOMPARE(link::serialDevicePath(2, &store), std::string("/dev/pts/7"));

        // A path with Polish letters is stored as the file system names it, and shown as typed.
        PortPickerDialog polish(3, store, fakePorts);
        polish.setDevice(QStringLiteral("/dev/serial/by-id/usb-Łódź_Żółw"));
        polish.accept();
        QCOMPARE(link::serialDevicePath(3, &store), std::string("/dev/serial/by-id/usb-Łódź_Żółw"));
        QCOMPARE(comDeviceText(3, store), QStringLiteral("COM3: /dev/serial/by-id/usb-Łódź_Żółw"));
        PortPickerDialog reopened(3, store, fakePorts);
        QCOMPARE(reopened.device(), QStringLiteral("/dev/serial/by-id/usb-Łódź_Żółw"));

        store.setReadOnly(true);
        PortPickerDialog refused(2, store, fakePorts);
        refused.show();
        refused.setDevice(QStringLiteral("/dev/ttyUSB1"));
        QString shown;
        answerNextMessageBox(shown);
        refused.accept();
        QCOMPARE(shown, QStringLiteral("Nie można zapisać ustawień portu COM2."));
        QVERIFY(refused.isVisible());
        QCOMPARE(link::serialDevicePath(2, &store), std::string("/dev/pts/7"));
    }

    void fieldWithPickerShowsItsDeviceAndFollowsTheFieldsState() {
        MemoryStore store;
        link::storeSerialDevicePath(store, 3, "/dev/ttyUSB1");
        QWidget window;
        auto* edit = new QLineEdit(&window);
        edit->setObjectName(QStringLiteral("comPort"));
        QWidget* row = withPortPicker(edit, store);
        auto* button = row->findChild<PortPickerButton*>();
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("..."));
        QCOMPARE(button->toolTip(), QStringLiteral("Wybierz port..."));
        edit->setText(QStringLiteral("3"));
        QCOMPARE(edit->toolTip(), QStringLiteral("COM3: /dev/ttyUSB1"));
        edit->setText(QStringLiteral("2"));
        QCOMPARE(edit->toolTip(), QStringLiteral("COM2: /dev/ttyS1"));
        edit->setEnabled(false);
        QVERIFY(!button->isEnabled());
        edit->setEnabled(true);
        QVERIFY(button->isEnabled());

        // No number in the field: the picker says so instead of opening.
        edit->setText(QStringLiteral("x"));
        QString shown;
        answerNextMessageBox(shown);
        button->pick();
        QCOMPARE(shown, QStringLiteral("Najpierw wpisz numer portu COM (1...255)."));
    }

    // KAVREL_COMn comes before any mapping: the picker says so when it opens, when a choice
    // is stored that the variable will override, and in the field's tool tip.
    void aVariableThatOverridesTheChoiceIsShown() {
        MemoryStore store;
        link::storeSerialDevicePath(store, 3, "/dev/ttyUSB1");
        qputenv("KAVREL_COM3", "/dev/pts/9");
        PortPickerDialog dialog(3, store, fakePorts);
        dialog.show();
        const QString current = dialog.findChild<QLabel*>(QStringLiteral("current"))->text();
        QVERIFY2(current.contains(QStringLiteral("/dev/pts/9")) && current.contains(QStringLiteral("KAVREL_COM3")),
                 qPrintable(current));
        QCOMPARE(dialog.device(), QStringLiteral("/dev/ttyUSB1"));   // the stored choice, to change
        dialog.table().selectRow(1);
        QString shown;
        answerNextMessageBox(shown);
        dialog.accept();
        QCOMPARE(shown, QStringLiteral("Zapisano /dev/ttyUSB0 dla portu COM3, ale dopóki ustawiona jest zmienna "
                                       "środowiska KAVREL_COM3, port COM3 otwiera /dev/pts/9."));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(link::storedSerialDevicePath(store, 3), std::string("/dev/ttyUSB0"));
        QCOMPARE(comDeviceText(3, store), QStringLiteral("COM3: /dev/pts/9 (ze zmiennej KAVREL_COM3)"));
        qunsetenv("KAVREL_COM3");
        QCOMPARE(comDeviceText(3, store), QStringLiteral("COM3: /dev/ttyUSB0"));
    }
};

QTEST_MAIN(PortPickerTest)
#include "port_picker_test.moc"
