// The output lines dialog: the three exclusive groups, the order in which a group's bits are
// stored, the alarm time check and the one bit of MCFG2 it owns.
#include <QTest>

#include "config/ui/dialogs/output_lines_dialog.h"
#include "config/ui/problem_recorder.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using kavrel::testing::bitControl;
using kavrel::testing::fieldControl;

namespace {

SettingsImage sampleRecord() {
    SettingsImage record;
    const std::array<std::uint8_t, 8> ocfg = {0x05, 0x03, 0x09, 0x07, 0x02, 0x05, 0xAB, 0xCD};
    for (int n = 1; n <= 8; ++n) record.setByte(Field::Ocfg, n, ocfg[static_cast<std::size_t>(n - 1)]);
    record.setByte(Field::Atim, 30);
    record.setByte(Field::Mcfg2, 0xBF);  // every bit but the buzzer's
    return record;
}

// The boxes of output On stand for bits of OCFGn; the extra box of O4 and O6 is bit 2.
enum OcfgBit { kRemanence = 0, kSignal = 1, kHeating = 2, kCooling = 3, kExtra = 2 };
QCheckBox* output(const QWidget& dialog, int n, OcfgBit bit) { return bitControl(&dialog, Field::Ocfg, n, bit); }
QCheckBox* buzzer(const QWidget& dialog) { return bitControl(&dialog, Field::Mcfg2, 0, 6); }

} // namespace

class OutputLinesTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void acceptingUnchangedKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Clinie_wyjsciowe dialog(record);
        QVERIFY(output(dialog, 1, kHeating)->isChecked());
        QVERIFY(output(dialog, 3, kCooling)->isChecked());
        QVERIFY(output(dialog, 4, kExtra)->isChecked());
        QVERIFY(output(dialog, 6, kExtra)->isChecked());
        QVERIFY(!buzzer(dialog)->isChecked());
        QCOMPARE(fieldControl(&dialog, Field::Atim)->text(), QString("30"));
        QCOMPARE(fieldControl(&dialog, "ATIM"), fieldControl(&dialog, Field::Atim));
        dialog.accept();
        QVERIFY(dialog.record() == record);  // OCFG7, OCFG8 and MCFG2 included
    }

    void acceptingStoresOneBitOfEachGroupAndDropsReservedBits() {
        SettingsImage record;
        record.setByte(Field::Ocfg, 1, 0x06);  // heating and signalling, as a module may report
        record.setByte(Field::Ocfg, 2, 0xF1);
        record.setByte(Field::Ocfg, 3, 0x0A);  // cooling and signalling
        record.setByte(Field::Ocfg, 5, 0x0E);  // all three
        Clinie_wyjsciowe dialog(record);
        QVERIFY(output(dialog, 1, kHeating)->isChecked());
        QVERIFY(output(dialog, 1, kSignal)->isChecked());
        QVERIFY(output(dialog, 2, kRemanence)->isChecked());
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Ocfg, 1), 0x04);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 2), 0x01);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 3), 0x08);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 5), 0x04);
    }

    void tickingABoxOfAGroupUnticksTheOtherTwo() {
        SettingsImage record;
        record.setByte(Field::Ocfg, 3, 0x06);
        record.setByte(Field::Ocfg, 4, 0x02);
        Clinie_wyjsciowe dialog(record);
        output(dialog, 3, kCooling)->click();
        QVERIFY(output(dialog, 3, kCooling)->isChecked());
        QVERIFY(!output(dialog, 3, kHeating)->isChecked());
        QVERIFY(!output(dialog, 3, kSignal)->isChecked());
        output(dialog, 3, kCooling)->click();  // unticking leaves the group empty
        QVERIFY(!output(dialog, 3, kSignal)->isChecked() && !output(dialog, 3, kHeating)->isChecked());
        output(dialog, 3, kSignal)->click();
        output(dialog, 5, kHeating)->click();
        output(dialog, 5, kSignal)->click();
        QVERIFY(!output(dialog, 5, kHeating)->isChecked());
        QVERIFY(output(dialog, 4, kSignal)->isChecked());  // O4 has no group
        output(dialog, 4, kExtra)->click();
        QVERIFY(output(dialog, 4, kSignal)->isChecked());
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Ocfg, 3), 0x02);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 4), 0x06);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 5), 0x02);
    }

    void alarmTimeAndBuzzer() {
        SettingsImage record;
        record.setByte(Field::Mcfg2, 0x21);
        Clinie_wyjsciowe dialog(record);
        fieldControl(&dialog, Field::Atim)->setText("256");
        dialog.accept();
        QCOMPARE(problems, QStringList{"Please enter an integer between 0 and 255."});
        QCOMPARE(dialog.result(), 0);
        for (const char* accepted : {"0", "255"}) {
            Clinie_wyjsciowe again(record);
            fieldControl(&again, Field::Atim)->setText(accepted);
            buzzer(again)->click();
            again.accept();
            QCOMPARE(again.result(), static_cast<int>(QDialog::Accepted));
            QCOMPARE(again.record().byte(Field::Atim), QString(accepted).toInt());
            QCOMPARE(again.record().byte(Field::Mcfg2), 0x61);
        }
        QCOMPARE(problems.size(), 1);
    }

    void cancelAfterChangesKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Clinie_wyjsciowe dialog(record);
        output(dialog, 1, kSignal)->click();
        output(dialog, 2, kRemanence)->click();
        buzzer(dialog)->click();
        fieldControl(&dialog, Field::Atim)->setText("7");
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }
};

QTEST_MAIN(OutputLinesTest)
#include "output_lines_test.moc"
