// "Współczynniki skalowania wyników pomiarów (S)": signed 16-bit factors in, the same out.
#include <QTest>

#include "common/qt/fields/field_edits.h"
#include "support/dialog_controls.h"
#include "config/ui/problem_recorder.h"
#include "config/ui/dialogs/scaling_dialog.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::ui;
using namespace kavrel::testing;

class ScalingDialogTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void negativeFactorsOpenWithTheirSignAndComeBackUnchanged() {
        SettingsImage record;
        record.setWord(Field::Scla, 3, 0xFFFF);
        record.setWord(Field::Sclb, 8, static_cast<std::uint16_t>(-32767));
        record.setWord(Field::Scla, 1, 1000);
        Cskalowanie dialog(record);
        QCOMPARE(fieldControl(&dialog, "SCLA3")->text(), QString("-1"));
        QCOMPARE(fieldControl(&dialog, "SCLB8")->text(), QString("-32767"));
        QCOMPARE(fieldControl(&dialog, "SCLA1")->text(), QString("1000"));
        dialog.accept();
        QVERIFY(problems.isEmpty());
        QVERIFY(dialog.record() == record);
    }

    void enteredValuesTakeTheirLowSixteenBits() {
        Cskalowanie dialog{SettingsImage{}};
        fieldControl(&dialog, "SCLA2")->setText("1000");
        fieldControl(&dialog, "SCLB2")->setText("0");
        fieldControl(&dialog, "SCLA5")->setText("-2");
        fieldControl(&dialog, "SCLB7")->setText("32767");
        dialog.accept();
        QCOMPARE(dialog.record().word(Field::Scla, 2), 1000);
        QCOMPARE(dialog.record().word(Field::Sclb, 2), 0);
        QCOMPARE(dialog.record().word(Field::Scla, 5), 0xFFFE);
        QCOMPARE(dialog.record().word(Field::Sclb, 7), 0x7FFF);
    }

    void valuesOutsideTheSymmetricRangeAreRefused() {
        SettingsImage record;
        record.setWord(Field::Sclb, 4, 12);
        Cskalowanie dialog(record);
        fieldControl(&dialog, "SCLA1")->setText("5");
        for (const QString typed : {"32768", "-32768", "1e3", ""}) {
            problems.clear();
            fieldControl(&dialog, "SCLB4")->setText(typed);
            dialog.accept();
            QCOMPARE(problems.size(), 1);
            QCOMPARE(problems[0], typed.startsWith("-") || typed == "32768" ? integerRangeMessage(-32767, 32767)
                                                                            : integerMessage());
            QVERIFY(dialog.result() != int(QDialog::Accepted));
            QVERIFY(dialog.record() == record);
        }
    }

    void cancelKeepsTheFactors() {
        SettingsImage record;
        record.setWord(Field::Scla, 6, 500);
        const SettingsImage original = record;
        Cskalowanie dialog(record);
        fieldControl(&dialog, "SCLA6")->setText("-500");
        dialog.reject();
        QVERIFY(record == original);
    }
};

QTEST_MAIN(ScalingDialogTest)
#include "scaling_dialog_test.moc"
