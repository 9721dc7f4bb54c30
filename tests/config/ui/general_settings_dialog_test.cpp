// "Ustawienia ogólne": what reaches the record on "Wprowadź", what the dialog normalises,
// and what it must leave alone.
#include <QTest>

#include "common/qt/fields/field_edits.h"
#include "common/win1250.h"
#include "config/model/conversions.h"
#include "config/ui/dialogs/general_settings_dialog.h"
#include "support/dialog_controls.h"
#include "config/ui/problem_recorder.h"

using namespace kavrel;
using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::ui;
using namespace kavrel::testing;

namespace {

// A record as a configured module reports it; every field of the dialog holds a value
// the dialog keeps unchanged.
SettingsImage configuredRecord() {
    SettingsImage r;
    r.setPhoneNumber(0, "+48601000310");
    for (int n = 1; n <= 10; ++n) r.setPhoneNumber(n, "+4860000" + std::to_string(1000 + n));
    r.setPhoneNumber(10, "1234567890123456");  // exactly 16 characters, no terminator
    r.setText(Field::Pin, "12345678");
    r.setWord(Field::Cops, 26002);
    r.setWord(Field::Trpt, 1440);
    r.setByte(Field::Slim, 50);
    r.setByte(Field::Logt, 15);
    r.setByte(Field::Tgac, 9);
    textToHourMask("7,12,18", r.element(Field::Rpthr));
    textToHourMask("0,1,2,22,23", r.element(Field::Grdhr));
    r.setByte(Field::Wkd, 1, 0x1F);
    r.setByte(Field::Wkd, 2, 0xE0);
    r.setByte(Field::Wkd, 3, 0x81);
    r.setByte(Field::Mcfg1, 0x7D);  // every option the dialog shows; bits 1 and 7 clear
    r.setByte(Field::Mcfg2, 0x92);  // the dialog's bits 1, 4 and 7
    setBalanceCode(r, "*101*2#");
    return r;
}

} // namespace

class GeneralSettingsDialogTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void acceptingUnchangedKeepsEveryByte() {
        const SettingsImage original = configuredRecord();
        Custaw_ogolne dialog(original);
        QCOMPARE(fieldControl(&dialog, "RPTHR")->text(), QString("7,12,18"));
        QCOMPARE(fieldControl(&dialog, "URL2")->text(), QString("*101*2#"));
        QCOMPARE(fieldControl(&dialog, "NUM10")->text(), QString("1234567890123456"));
        dialog.accept();
        QVERIFY(problems.isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(dialog.record() == original);
    }

    void ownedBytesAreRebuiltAndSharedOnesOnlyInTheirBits() {
        SettingsImage record = configuredRecord();
        record.setByte(Field::Mcfg1, 0xFF);  // bits 1 and 7 are not shown
        record.setByte(Field::Mcfg2, 0x69);  // bits 0, 3, 5, 6 belong to other dialogs
        record.element(Field::Rpthr)[3] = 0x55;  // fourth byte of the hour mask
        Custaw_ogolne dialog(record);
        QVERIFY(!bitControl(&dialog, Field::Mcfg2, 0, 1)->isChecked());
        bitControl(&dialog, Field::Mcfg2, 0, 7)->setChecked(true);
        bitControl(&dialog, Field::Mcfg1, 0, 5)->setChecked(false);
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Mcfg1), 0x5D);  // 0x7D without bit 5
        QCOMPARE(dialog.record().byte(Field::Mcfg2), 0xE9);  // bit 7 added, the rest kept
        QCOMPARE(dialog.record().element(Field::Rpthr)[3], 0);
    }

    void dayRowsMapToTheDayMaskBits() {
        SettingsImage record;
        record.setByte(Field::Wkd, 2, 0x41);  // Monday and Sunday
        Custaw_ogolne dialog(record);
        QVERIFY(fieldControl<QCheckBox>(&dialog, "WKD2_0")->isChecked());
        QVERIFY(fieldControl<QCheckBox>(&dialog, "WKD2_6")->isChecked());
        QCOMPARE(fieldControl<QCheckBox>(&dialog, "WKD2_6")->text(), QString("Ni"));
        fieldControl<QCheckBox>(&dialog, "WKD2_0")->setChecked(false);
        fieldControl<QCheckBox>(&dialog, "WKD3_7")->setChecked(true);  // holidays
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Wkd, 1), 0);
        QCOMPARE(dialog.record().byte(Field::Wkd, 2), 0x40);
        QCOMPARE(dialog.record().byte(Field::Wkd, 3), 0x80);
    }

    void operatorButtonReplacesOnlyTheSmsCentre() {
        Custaw_ogolne dialog(configuredRecord());
        fieldControl(&dialog, "NUM0")->setText("+48999");
        fieldControl(&dialog, "NUM3")->setText("555");
        fieldControl(&dialog, "SLIM")->setText("abc");  // an invalid entry survives too
        captioned(&dialog, "Plus")->click();
        QCOMPARE(fieldControl(&dialog, "NUM0")->text(), QString("+48601000310"));
        QCOMPARE(fieldControl(&dialog, "NUM3")->text(), QString("555"));
        QCOMPARE(fieldControl(&dialog, "SLIM")->text(), QString("abc"));
        for (const auto& op : Custaw_ogolne::operators()) {
            captioned(&dialog, op.name)->click();
            QCOMPARE(fieldControl(&dialog, "NUM0")->text(), QString(op.smsc));
        }
        QVERIFY(dialog.result() != int(QDialog::Accepted));
    }

    void hourListsFollowTheHourMaskRules() {
        Custaw_ogolne dialog{SettingsImage{}};
        fieldControl(&dialog, "RPTHR")->setText("24");
        fieldControl(&dialog, "GRDHR")->setText("7,30,12");
        dialog.accept();
        QCOMPARE(hourMaskToText(dialog.record().element(Field::Rpthr)), std::string("0"));
        QCOMPARE(hourMaskToText(dialog.record().element(Field::Grdhr)), std::string("7,12"));
        Custaw_ogolne reopened(dialog.record());
        QCOMPARE(fieldControl(&reopened, "RPTHR")->text(), QString("0"));
    }

    void balanceCodeSpreadsOverUrl2AndItsExtensions() {
        Custaw_ogolne dialog{SettingsImage{}};
        fieldControl(&dialog, "URL2")->setText("*100*1#9");
        dialog.accept();
        QCOMPARE(dialog.record().text(Field::Url2), std::string("*100*1"));
        QCOMPARE(dialog.record().byte(Field::Url2Ext, 0), '#');
        QCOMPARE(dialog.record().byte(Field::Url2Ext, 1), '9');
        Custaw_ogolne reopened(dialog.record());
        QCOMPARE(fieldControl(&reopened, "URL2")->text(), QString("*100*1#9"));

        Custaw_ogolne shorter(dialog.record());
        fieldControl(&shorter, "URL2")->setText("*101#1");
        shorter.accept();
        QCOMPARE(shorter.record().text(Field::Url2), std::string("*101#1"));
        QCOMPARE(shorter.record().byte(Field::Url2Ext, 0), 0);
        QCOMPARE(shorter.record().byte(Field::Url2Ext, 1), 0);
    }

    void erasedOrMaximalNetworkCodeMeansAutomatic() {
        SettingsImage record;
        record.setWord(Field::Cops, 0xFFFF);
        Custaw_ogolne opened(record);
        QCOMPARE(fieldControl(&opened, "COPS")->text(), QString("0"));
        opened.accept();
        QCOMPARE(opened.record().word(Field::Cops), 0);

        Custaw_ogolne typed{SettingsImage{}};
        fieldControl(&typed, "COPS")->setText("65535");
        typed.accept();
        QCOMPARE(typed.record().word(Field::Cops), 0);
    }

    void refusedEntriesWriteNothing() {
        const SettingsImage original = configuredRecord();
        Custaw_ogolne dialog(original);
        fieldControl(&dialog, "NUM1")->setText("+48111");
        for (const auto& [name, typed, message] : std::initializer_list<std::tuple<QString, QString, QString>>{
                 {"COPS", "65536", integerRangeMessage(0, 65535)},
                 {"TRPT", "-1", integerRangeMessage(0, 65535)},
                 {"SLIM", "256", integerRangeMessage(0, 255)},
                 {"LOGT", "x", integerMessage()},
                 {"TGAC", "", integerMessage()}}) {
            const QString before = fieldControl(&dialog, name)->text();
            problems.clear();
            fieldControl(&dialog, name)->setText(typed);
            dialog.accept();
            QCOMPARE(problems, QStringList{message});
            QVERIFY(dialog.result() != int(QDialog::Accepted));
            QVERIFY(dialog.record() == original);
            fieldControl(&dialog, name)->setText(before);
        }
    }

    void textsAreStoredInWindows1250AndCutToTheirFields() {
        Custaw_ogolne dialog{SettingsImage{}};
        fieldControl(&dialog, "NUM6")->setText("12345678901234567");  // 17: the edit keeps 16
        fieldControl(&dialog, "PIN")->setText("ąę");
        dialog.accept();
        QCOMPARE(dialog.record().phoneNumber(6), std::string("1234567890123456"));
        QCOMPARE(dialog.record().text(Field::Pin), W("ąę"));
        const auto pin = dialog.record().element(Field::Pin);
        QVERIFY(std::all_of(pin.begin() + 2, pin.end(), [](std::uint8_t b) { return b == 0; }));
    }

    void erasedModuleMemoryOpensAndAcceptsAsDefinedValues() {
        SettingsImage erased;
        std::fill(erased.bytes().begin(), erased.bytes().end(), 0xFF);
        Custaw_ogolne dialog(erased);
        QCOMPARE(fieldControl(&dialog, "NUM0")->text(), QString());
        QCOMPARE(fieldControl(&dialog, "URL2")->text(), QString());
        QCOMPARE(fieldControl(&dialog, "RPTHR")->text(), QString("0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23"));
        dialog.accept();
        QVERIFY(problems.isEmpty());
        const SettingsImage& r = dialog.record();
        QCOMPARE(r.word(Field::Cops), 0);
        QCOMPARE(r.byte(Field::Mcfg1), 0x7D);
        QCOMPARE(r.byte(Field::Mcfg2), 0xFF);
        QCOMPARE(r.byte(Field::Wkd, 3), 0xFF);
        QCOMPARE(r.word(Field::Trpt), 0xFFFF);
        QCOMPARE(r.element(Field::Grdhr)[3], 0);
        QCOMPARE(r.byte(Field::Url2Ext, 0), 0);
        QCOMPARE(r.byte(Field::Url2Ext, 1), 0);
        const auto smsc = r.element(Field::Num, 0);
        QVERIFY(std::all_of(smsc.begin(), smsc.end(), [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(r.byte(Field::Sms, 0), 0xFF);  // fields of other dialogs are not touched
    }

    void cancelAfterChangesKeepsTheRecord() {
        SettingsImage record = configuredRecord();
        record.setWord(Field::Cops, 0xFFFF);
        const SettingsImage original = record;
        Custaw_ogolne dialog(record);
        fieldControl(&dialog, "NUM1")->setText("999");
        bitControl(&dialog, Field::Mcfg1, 0, 5)->setChecked(false);
        dialog.reject();
        QVERIFY(record == original);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(GeneralSettingsDialogTest)
#include "general_settings_dialog_test.moc"
