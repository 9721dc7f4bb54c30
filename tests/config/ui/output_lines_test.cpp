// The output lines dialog: the three exclusive groups, the order in which a group's bits are
// stored, the alarm time check and the one bit of MCFG2 it owns.
#include <QTest>

#include "config/ui/dialogs/output_lines_dialog.h"
#include "config/ui/problem_recorder.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;

namespace {

SettingsImage sampleRecord() {
    SettingsImage record;
    const std::array<std::uint8_t, 8> ocfg = {0x05, 0x03, 0x09, 0x07, 0x02, 0x05, 0xAB, 0xCD};
    for (int n = 1; n <= 8; ++n) record.setByte(Field::Ocfg, n, ocfg[static_cast<std::size_t>(n - 1)]);
    record.setByte(Field::Atim, 30);
    record.setByte(Field::Mcfg2, 0xBF);  // every bit but the buzzer's
    return record;
}

} // namespace

class OutputLinesTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void acceptingUnchangedKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Clinie_wyjsciowe dialog(record);
        QVERIFY(dialog.output(1).heating->isChecked());
        QVERIFY(dialog.output(3).cooling->isChecked());
        QVERIFY(dialog.output(4).extra->isChecked());
        QVERIFY(dialog.output(6).extra->isChecked());
        QVERIFY(!dialog.buzzer()->isChecked());
        QCOMPARE(dialog.alarmTime()->text(), QString("30"));
        QCOMPARE(dialog.findChild<QLineEdit*>("ATIM"), dialog.alarmTime());
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
        QVERIFY(dialog.output(1).heating->isChecked());
        QVERIFY(dialog.output(1).signal->isChecked());
        QVERIFY(dialog.output(2).remanence->isChecked());
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
        const auto& o3 = dialog.output(3);
        o3.cooling->click();
        QVERIFY(o3.cooling->isChecked());
        QVERIFY(!o3.heating->isChecked());
        QVERIFY(!o3.signal->isChecked());
        o3.cooling->click();  // unticking leaves the group empty
        QVERIFY(!o3.signal->isChecked() && !o3.heating->isChecked());
        o3.signal->click();
        dialog.output(5).heating->click();
        dialog.output(5).signal->click();
        QVERIFY(!dialog.output(5).heating->isChecked());
        QVERIFY(dialog.output(4).signal->isChecked());  // O4 has no group
        dialog.output(4).extra->click();
        QVERIFY(dialog.output(4).signal->isChecked());
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Ocfg, 3), 0x02);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 4), 0x06);
        QCOMPARE(dialog.record().byte(Field::Ocfg, 5), 0x02);
    }

    void alarmTimeAndBuzzer() {
        SettingsImage record;
        record.setByte(Field::Mcfg2, 0x21);
        Clinie_wyjsciowe dialog(record);
        dialog.alarmTime()->setText("256");
        dialog.accept();
        QCOMPARE(problems, QStringList{"Please enter an integer between 0 and 255."});
        QCOMPARE(dialog.result(), 0);
        for (const char* accepted : {"0", "255"}) {
            Clinie_wyjsciowe again(record);
            again.alarmTime()->setText(accepted);
            again.buzzer()->click();
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
        dialog.output(1).signal->click();
        dialog.output(2).remanence->click();
        dialog.buzzer()->click();
        dialog.alarmTime()->setText("7");
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }
};

QTEST_MAIN(OutputLinesTest)
#include "output_lines_test.moc"
