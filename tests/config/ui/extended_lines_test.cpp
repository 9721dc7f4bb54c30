// The extended lines dialog: the two line groups with their shared type and thresholds, the
// per-line bits and texts, and the two bits of MCFG2 it shares with other dialogs.
#include <QButtonGroup>
#include <QPushButton>
#include <QSignalSpy>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "config/ui/dialogs/extended_lines_dialog.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::testing;

namespace {

SettingsImage sampleRecord() {
    SettingsImage record;
    record.setByte(Field::Mcfg2, 0x5E);  // bit 0 clear, bit 5 clear, others mixed
    for (int n = 1; n <= 16; ++n) record.setByte(Field::Xcfg, n, static_cast<std::uint8_t>(n * 5 & 0x7F));
    record.setByte(Field::Xcfg, 17, 0x54);
    for (int n = 1; n <= 17; n += 4) record.setText(Field::Xms, n, "Linia @X" + std::to_string(n) + " przekroczona");
    record.setText(Field::Xms, 2, std::string(40, 'z'));  // full field, no terminator
    record.setByte(Field::Sxml, 0x11);
    record.setByte(Field::Xtyp1, 0x0A);  // T/D, guard hours only
    record.setWord(Field::Xlo1, 2632);
    record.setWord(Field::Xhi1, 3033);
    record.setByte(Field::Xtyp9, 0x01);  // RH
    record.setWord(Field::Xlo9, 2010);   // shown rounded to a whole percent
    record.setWord(Field::Xhi9, 400);    // below the humidity scale
    return record;
}

// Group 0 is XL1..XL8, group 1 XL9..XL16: their type byte and thresholds.
constexpr Field kType[] = {Field::Xtyp1, Field::Xtyp9};
constexpr Field kLower[] = {Field::Xlo1, Field::Xlo9};
constexpr Field kUpper[] = {Field::Xhi1, Field::Xhi9};
constexpr int kGuardHoursBit = 3;

// The type boxes of a group carry their type code as id ("T/D" 2, "RH" 1) in the group that
// sets bits 0..2 of the type byte.
QAbstractButton* typeBox(const QWidget& dialog, int which, int code) {
    return fieldControl<QButtonGroup>(&dialog, bitsControlName(kType[which], 0, 0, 2))->button(code);
}

} // namespace

class ExtendedLinesTest : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheRecordsValues() {
        Cextlines dialog(sampleRecord());
        QVERIFY(typeBox(dialog, 0, 2)->isChecked());
        QVERIFY(!typeBox(dialog, 0, 1)->isChecked());
        QVERIFY(bitControl(&dialog, kType[0], 0, kGuardHoursBit)->isChecked());
        QCOMPARE(fieldControl(&dialog, kLower[0])->text(), QString("-10.0 'C"));
        QVERIFY(typeBox(dialog, 1, 1)->isChecked());
        QCOMPARE(fieldControl(&dialog, kUpper[1])->text(), QString("0 %"));
        QVERIFY(bitControl(&dialog, Field::Xcfg, 1, 0)->isChecked());  // XCFG1 = 5: HL and number 1
        QVERIFY(bitControl(&dialog, Field::Xcfg, 1, 2)->isChecked());
        QVERIFY(!bitControl(&dialog, Field::Xcfg, 1, 1)->isChecked());
        QVERIFY(bitControl(&dialog, Field::Xcfg, 17, 4)->isChecked());
        QVERIFY(!hasFieldControl(&dialog, bitControlName(Field::Xcfg, 17, 0)));  // the check has no HL, LH
        QVERIFY(bitControl(&dialog, Field::Sxml, 0, 4)->isChecked());
        QCOMPARE(fieldControl(&dialog, Field::Xms, 2)->text(), QString(40, 'z'));
        QCOMPARE(fieldControl(&dialog, Field::Xms, 17)->text(), QString("Linia @X17 przekroczona"));
        QCOMPARE(fieldControl(&dialog, "XMS17"), fieldControl(&dialog, Field::Xms, 17));
        QCOMPARE(fieldControl(&dialog, "XHI9"), fieldControl(&dialog, kUpper[1]));
    }

    void acceptingUnchangedKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Cextlines dialog(record);
        dialog.accept();
        QVERIFY(dialog.record() == record);
    }

    void acceptingDropsReservedBitsAndTypeCodeThree() {
        SettingsImage record = sampleRecord();
        record.setByte(Field::Xcfg, 3, 0x83);   // bit 7 reserved
        record.setByte(Field::Xcfg, 17, 0x57);  // bits 0, 1 reserved on the check
        record.setByte(Field::Sxml, 0xE1);
        record.setByte(Field::Xtyp1, 0xF2);
        record.setByte(Field::Xtyp9, 0x03);     // plain number: neither box
        record.setWord(Field::Xlo9, 250);
        Cextlines dialog(record);
        QVERIFY(!typeBox(dialog, 1, 1)->isChecked() && !typeBox(dialog, 1, 2)->isChecked());
        QCOMPARE(fieldControl(&dialog, kLower[1])->text(), QString("250"));
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Xcfg, 3), 0x03);
        QCOMPARE(dialog.record().byte(Field::Xcfg, 17), 0x54);
        QCOMPARE(dialog.record().byte(Field::Sxml), 0x01);
        QCOMPARE(dialog.record().byte(Field::Xtyp1), 0x02);
        QCOMPARE(dialog.record().byte(Field::Xtyp9), 0x00);
        QCOMPARE(dialog.record().word(Field::Xlo9), 250);
    }

    void typeBoxesOfAGroupExcludeEachOtherAndKeepTheRawThresholds() {
        SettingsImage record;
        record.setWord(Field::Xlo1, 2000);
        record.setWord(Field::Xhi1, 700);
        Cextlines dialog(record);
        QLineEdit* lower = fieldControl(&dialog, Field::Xlo1);
        QLineEdit* upper = fieldControl(&dialog, Field::Xhi1);
        QCOMPARE(lower->text(), QString("2000 mV"));
        typeBox(dialog, 0, 1)->click();
        QCOMPARE(lower->text(), QString("50 %"));
        typeBox(dialog, 0, 2)->click();
        QVERIFY(!typeBox(dialog, 0, 1)->isChecked());
        QCOMPARE(lower->text(), QString("-73.2 'C"));
        typeBox(dialog, 0, 2)->click();
        QCOMPARE(upper->text(), QString("700 mV"));  // 700 survived the humidity scale
        QCOMPARE(fieldControl(&dialog, kLower[1])->text(), QString("0 mV"));  // the other group is apart

        typeBox(dialog, 0, 2)->click();
        upper->setText("12,5");
        bitControl(&dialog, Field::Xcfg, 8, 1)->click();
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Xtyp1), 0x02);
        QCOMPARE(dialog.record().word(Field::Xlo1), 2000);
        QCOMPARE(dialog.record().word(Field::Xhi1), 2857);
        QCOMPARE(dialog.record().byte(Field::Xcfg, 8), 0x02);
    }

    void textsAreCutToTheirField() {
        Cextlines dialog{SettingsImage{}};
        const QString text45 = QString("Przekroczenie progu na linii XL5: ") + QString(11, 'x');
        QCOMPARE(text45.size(), 45);
        fieldControl(&dialog, Field::Xms, 5)->setText(text45);
        fieldControl(&dialog, Field::Xms, 6)->setText("Łódź");
        dialog.accept();
        const auto xms5 = dialog.record().element(Field::Xms, 5);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(xms5.data()), 40), text45.left(40).toLatin1());
        QCOMPARE(dialog.record().text(Field::Xms, 6), std::string("\xA3\xF3" "d\x9F"));  // Windows-1250
        QCOMPARE(dialog.record().element(Field::Xms, 6)[4], 0);
    }

    void sharedBitsOfMcfg2() {
        SettingsImage record;
        record.setByte(Field::Mcfg2, 0xDE);
        Cextlines dialog(record);
        QVERIFY(!bitControl(&dialog, Field::Mcfg2, 0, 0)->isChecked());
        QVERIFY(!bitControl(&dialog, Field::Mcfg2, 0, 5)->isChecked());
        bitControl(&dialog, Field::Mcfg2, 0, 0)->click();
        bitControl(&dialog, Field::Mcfg2, 0, 5)->click();
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Mcfg2), 0xFF);
    }

    void codesButtonShowsTheCodesAndChangesNothing() {
        const SettingsImage record = sampleRecord();
        Cextlines dialog(record);
        QPushButton* codes = captioned<QPushButton>(&dialog, "Kody...");
        QString shown;
        QTimer::singleShot(0, [&] {
            if (auto* help = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                shown = help->metaObject()->className();
                help->reject();
            }
        });
        codes->click();
        QCOMPARE(shown, QString("kavrel::config::ui::Ckody"));
        QCOMPARE(dialog.result(), 0);
        typeBox(dialog, 1, 2)->click();
        fieldControl(&dialog, Field::Xms, 1)->setText("inny");
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }
};

QTEST_MAIN(ExtendedLinesTest)
#include "extended_lines_test.moc"
