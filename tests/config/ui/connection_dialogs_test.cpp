// The CSD serial port dialog and the network dialog.
#include <QButtonGroup>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "common/qt/fields/field_checks.h"
#include "common/qt/fields/field_edits.h"
#include "config/ui/dialogs/ccsd.h"
#include "config/ui/dialogs/custaw_sieciowe.h"
#include "config/ui/kit/settings_dialog.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::ui;
using kavrel::testing::namedControl;

namespace {

QStringList checkedChoices(const QWidget& dialog) {
    QStringList checked;
    for (const QRadioButton* radio : dialog.findChildren<QRadioButton*>())
        if (radio->isChecked()) checked << radio->text();
    return checked;
}

SettingsImage withScfg(std::uint8_t scfg) {
    SettingsImage record;
    record.setByte(Field::Scfg, scfg);
    return record;
}

} // namespace

class ConnectionDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void csdDialogShowsTheFiveFieldsAndNormalisesOnEitherButton() {
        Ccsd out(withScfg(0x7B));
        QCOMPARE(checkedChoices(out), (QStringList{"RS-485", "9600", "7-bit", "ODD", "1-bit"}));
        out.accept();
        QCOMPARE(out.record().byte(Field::Scfg), 0x73);  // parity 3 is shown and kept as ODD (2)

        Ccsd second(withScfg(0x6D));
        QCOMPARE(checkedChoices(second), (QStringList{"RS-485", "9600", "8-bit", "EVEN", "2-bit"}));
        second.reject();
        QCOMPARE(second.record().byte(Field::Scfg), 0x6D);

        Ccsd fast(withScfg(0xE0));  // speed 7 is shown as 19200 and comes back as 5
        QVERIFY(checkedChoices(fast).contains("19200"));
        fast.reject();
        QCOMPARE(fast.record().byte(Field::Scfg), 0xA0);
    }

    void networkDialogKeepsItsValuesAndChangesThemOnlyOnAccept() {
        QStringList problems;
        setFieldProblemHandler([&](QWidget*, const QString& m) { problems << m; });
        Custaw_sieciowe dialog;
        QCOMPARE(dialog.address(), QString("192.168.2.1"));
        QCOMPARE(dialog.port(), 23);
        // The connection is the PC's, not a record field: the edits carry their own names.
        QLineEdit* const edits[] = {namedControl<QLineEdit>(&dialog, "address"), namedControl<QLineEdit>(&dialog, "port")};
        QTimer::singleShot(0, [&] {
            edits[0]->setText("10.0.0.9");
            edits[1]->setText("70000");
            dialog.accept();  // refused: the port is out of range
            edits[1]->setText("2323");
            dialog.accept();
        });
        QCOMPARE(dialog.exec(), static_cast<int>(QDialog::Accepted));
        QCOMPARE(problems, QStringList{"Please enter an integer between 0 and 65535."});
        QCOMPARE(dialog.address(), QString("10.0.0.9"));
        QCOMPARE(dialog.port(), 2323);

        QTimer::singleShot(0, [&] {
            QCOMPARE(edits[0]->text(), QString("10.0.0.9"));  // opened with the kept values
            edits[0]->setText("1.2.3.4");
            dialog.reject();
        });
        dialog.exec();
        QCOMPARE(dialog.address(), QString("10.0.0.9"));
    }
};

QTEST_MAIN(ConnectionDialogsTest)
#include "connection_dialogs_test.moc"
