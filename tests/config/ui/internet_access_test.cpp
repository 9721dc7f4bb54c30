// The Internet access dialog: texts in and out of their fixed fields, the two checked
// numbers and the two bits of MCFG2 it shares with other dialogs.
#include <QTest>

#include "config/ui/dialogs/internet_dialog.h"
#include "config/ui/problem_recorder.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using kavrel::testing::bitControl;
using kavrel::testing::fieldControl;

namespace {

constexpr int kAuthorisationBit = 2;  // of MCFG2
constexpr int kGuardHoursBit = 3;

SettingsImage sampleRecord() {
    SettingsImage record;
    for (int n = 0; n <= 6; ++n) record.setText(Field::Apn, n, "apn" + std::to_string(n));
    for (int n = 0; n <= 5; ++n) record.setText(Field::Ead, n, "adres" + std::to_string(n) + "@example.pl");
    record.setText(Field::Url0, std::string(64, 'u'));  // full field, no terminator
    record.setText(Field::Url1, "/meldunek?uid=@U");
    record.setWord(Field::Nuid, 65535);
    record.setByte(Field::Thtp, 12);
    record.setByte(Field::Mcfg2, 0xF3);  // bit 2 clear, bit 3 clear
    return record;
}

} // namespace

class InternetAccessTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void acceptingUnchangedKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Custaw_internet dialog(record);
        QCOMPARE(fieldControl(&dialog, Field::Apn, 3)->text(), QString("apn3"));
        QCOMPARE(fieldControl(&dialog, Field::Ead, 5)->text(), QString("adres5@example.pl"));
        QCOMPARE(fieldControl(&dialog, Field::Url0)->text(), QString(64, 'u'));
        QCOMPARE(fieldControl(&dialog, Field::Nuid)->text(), QString("65535"));
        QCOMPARE(fieldControl(&dialog, "EAD5"), fieldControl(&dialog, Field::Ead, 5));
        QCOMPARE(fieldControl(&dialog, "URL1"), fieldControl(&dialog, Field::Url1));
        QCOMPARE(fieldControl(&dialog, "THTP"), fieldControl(&dialog, Field::Thtp));
        dialog.accept();
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
        QVERIFY(dialog.record() == record);
    }

    void erasedTextsOpenEmptyAndLongTextsAreCut() {
        SettingsImage record;
        for (std::uint8_t& byte : record.element(Field::Apn, 1)) byte = 0xFF;
        Custaw_internet dialog(record);
        QCOMPARE(fieldControl(&dialog, Field::Apn, 1)->text(), QString());
        fieldControl(&dialog, Field::Apn, 0)->setText(QString(40, 'a'));
        fieldControl(&dialog, Field::Ead, 2)->setText("łąka@example.pl");
        dialog.accept();
        const auto apn0 = dialog.record().element(Field::Apn, 0);
        QVERIFY(std::all_of(apn0.begin(), apn0.end(), [](std::uint8_t b) { return b == 'a'; }));
        const auto apn1 = dialog.record().element(Field::Apn, 1);
        QVERIFY(std::all_of(apn1.begin(), apn1.end(), [](std::uint8_t b) { return b == 0; }));
        QCOMPARE(dialog.record().text(Field::Ead, 2), std::string("\xB3\xB9ka@example.pl"));
    }

    void numbersOutsideTheirRangeAreRefused() {
        const SettingsImage record = sampleRecord();
        Custaw_internet dialog(record);
        fieldControl(&dialog, Field::Apn, 0)->setText("zmieniony");
        for (const auto& [uid, period, message] : std::initializer_list<std::tuple<const char*, const char*, const char*>>{
                 {"65536", "0", "Please enter an integer between 0 and 65535."},
                 {"1", "256", "Please enter an integer between 0 and 255."},
                 {"x", "1", "Please enter an integer."}}) {
            problems.clear();
            fieldControl(&dialog, Field::Nuid)->setText(uid);
            fieldControl(&dialog, Field::Thtp)->setText(period);
            dialog.accept();
            QCOMPARE(problems, QStringList{message});
            QCOMPARE(dialog.result(), 0);
            QVERIFY(dialog.record() == record);
        }
        fieldControl(&dialog, Field::Nuid)->setText("0");
        fieldControl(&dialog, Field::Thtp)->setText("255");
        dialog.accept();
        QCOMPARE(dialog.record().word(Field::Nuid), 0);
        QCOMPARE(dialog.record().byte(Field::Thtp), 255);
    }

    void mcfg2BoxesChangeOnlyTheirBits() {
        SettingsImage record;
        record.setByte(Field::Mcfg2, 0x21);
        Custaw_internet dialog(record);
        bitControl(&dialog, Field::Mcfg2, 0, kAuthorisationBit)->click();
        bitControl(&dialog, Field::Mcfg2, 0, kGuardHoursBit)->click();
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Mcfg2), 0x2D);
    }

    void cancelAfterChangesKeepsTheRecordEvenErasedTexts() {
        SettingsImage record = sampleRecord();
        for (std::uint8_t& byte : record.element(Field::Ead, 4)) byte = 0xFF;
        Custaw_internet dialog(record);
        fieldControl(&dialog, Field::Url1)->setText("inny");
        fieldControl(&dialog, Field::Nuid)->setText("7");
        bitControl(&dialog, Field::Mcfg2, 0, kAuthorisationBit)->click();
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }
};

QTEST_MAIN(InternetAccessTest)
#include "internet_access_test.moc"
