// The configurator's COM field with its port picker: the device the picker stores for a
// number is the one the window's operations open, from the next operation on.
#include <QLineEdit>
#include <QTest>
#include <cstdlib>

#include "common/qt/operation_runner.h"
#include "link/qt/port_picker.h"
#include "config/ui/main_window.h"
#include "link/connection_settings.h"
#include "link/ports/port_mapping.h"
#include "support/dialog_controls.h"
#include "support/sim_fixture.h"
#include "support/saved_connection.h"

using namespace kavrel;
using namespace kavrel::config::ui;
using kavrel::testing::namedControl;

class PortChoiceTest : public QObject {
    Q_OBJECT

private slots:
    void mappedNumberReachesTheSimulatorAndAChangedMappingIsUsedNextTime() {
        ::unsetenv("KAVREL_COM5");
        kavrel::testing::SimFixture sim;
        MemoryStore store;
        kavrel::testing::saveConnection(store, {5, false, "127.0.0.1", 23});
        link::storeSerialDevicePath(store, 5, sim.ptyPath());

        Ckonfigurator window(store, "");
        QStringList boxes;
        window.runner().setMessageHandler([&](const QString& text, MessageIcon) { boxes << text; });
        auto* edit = namedControl<QLineEdit>(&window, "comPort");
        auto* picker = namedControl<PortPickerButton>(&window, "comPortPicker");
        QVERIFY(edit && picker);
        QCOMPARE(edit->toolTip(), "COM5: " + QString::fromStdString(sim.ptyPath()));

        window.readVersion();
        QVERIFY(!picker->isEnabled());  // disabled with the field while the operation runs
        window.runner().waitForFinished();
        QVERIFY(picker->isEnabled());
        QCOMPARE(window.statusText(), QString("Wersja modułu odczytana"));
        QVERIFY(boxes.isEmpty());

        link::storeSerialDevicePath(store, 5, "/dev/kavrel-brak");
        window.readVersion();
        window.runner().waitForFinished();
        QCOMPARE(boxes, QStringList{"Błąd otwarcia portu COM5 !"});
    }
};

QTEST_MAIN(PortChoiceTest)
#include "port_choice_test.moc"
