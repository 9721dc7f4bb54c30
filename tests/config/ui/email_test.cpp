// The e-mail dialog: the address bits of the line alarms and the report with the photo bit
// they carry, the log mailing schedule and targets.
#include <QAbstractButton>
#include <QButtonGroup>
#include <QTest>

#include "config/ui/dialogs/email_dialog.h"
#include "config/ui/problem_recorder.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using kavrel::testing::bitControl;
using kavrel::testing::fieldControl;

namespace {

SettingsImage sampleRecord() {
    SettingsImage record;
    for (int line = 1; line <= 8; ++line) record.setByte(Field::Seml, line, static_cast<std::uint8_t>(line * 7 & 0x3F));
    record.setByte(Field::Rcfg2, 0x25);  // addresses 1 and 3, photo
    record.setByte(Field::Slog, 0x47);   // 7 o'clock, every 3 days
    record.setByte(Field::Slgt, 0x63);
    return record;
}

// The radio buttons of "Co ile dni:", ids 0..3, which set SLOG bits 5 and 6.
QButtonGroup* interval(const QWidget& dialog) { return fieldControl<QButtonGroup>(&dialog, "SLOG_5-6"); }

} // namespace

class EmailTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void opensWithTheRecordsValues() {
        SettingsImage record = sampleRecord();
        record.setByte(Field::Seml, 3, 0xC5);
        Custaw_emaili dialog(record);
        QCOMPARE(fieldControl(&dialog, Field::Slog)->text(), QString("7"));
        QCOMPARE(fieldControl(&dialog, "SLOG"), fieldControl(&dialog, Field::Slog));
        QCOMPARE(interval(dialog)->checkedId(), 2);
        QCOMPARE(interval(dialog)->checkedButton()->text(), QString("3"));
        for (int bit = 0; bit < 5; ++bit) QCOMPARE(bitControl(&dialog, Field::Seml, 3, bit)->isChecked(), bit == 0 || bit == 2);
        QVERIFY(bitControl(&dialog, Field::Slgt, 0, 5)->isChecked());
        QVERIFY(bitControl(&dialog, Field::Slgt, 0, 6)->isChecked());
        QVERIFY(!bitControl(&dialog, Field::Seml, 1, kPhoto)->isVisibleTo(&dialog));
    }

    void acceptingUnchangedKeepsTheRecordApartFromReservedBits() {
        SettingsImage record = sampleRecord();
        Custaw_emaili dialog(record);
        dialog.accept();
        QVERIFY(dialog.record() == record);  // the photo bits are carried too

        record.setByte(Field::Seml, 3, 0xC5);
        record.setByte(Field::Rcfg2, 0xFF);
        record.setByte(Field::Slgt, 0xFF);
        record.setByte(Field::Slog, 0xFF);  // hour 31, every 7 days, bit 7 reserved
        Custaw_emaili again(record);
        again.accept();
        QCOMPARE(again.record().byte(Field::Seml, 3), 0x05);
        QCOMPARE(again.record().byte(Field::Rcfg2), 0x3F);
        QCOMPARE(again.record().byte(Field::Slgt), 0x7F);
        QCOMPARE(again.record().byte(Field::Slog), 0x7F);
    }

    void changesAreStored() {
        Custaw_emaili dialog{SettingsImage{}};
        QCOMPARE(interval(dialog)->checkedId(), 0);
        bitControl(&dialog, Field::Seml, 8, 4)->click();
        bitControl(&dialog, Field::Rcfg2, 0, 1)->click();
        bitControl(&dialog, Field::Slgt, 0, 2)->click();
        interval(dialog)->button(3)->click();
        fieldControl(&dialog, Field::Slog)->setText("23");
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Seml, 8), 0x10);
        QCOMPARE(dialog.record().byte(Field::Rcfg2), 0x02);
        QCOMPARE(dialog.record().byte(Field::Slgt), 0x04);
        QCOMPARE(dialog.record().byte(Field::Slog), 23 + 3 * 32);
    }

    void hourOutsideItsRangeIsRefused() {
        const SettingsImage record = sampleRecord();
        Custaw_emaili dialog(record);
        bitControl(&dialog, Field::Seml, 1, 1)->click();
        fieldControl(&dialog, Field::Slog)->setText("32");
        dialog.accept();
        QCOMPARE(problems, QStringList{"Please enter an integer between 0 and 31."});
        QCOMPARE(dialog.result(), 0);
        QVERIFY(dialog.record() == record);
    }

    void cancelAfterChangesKeepsTheRecordEvenReservedBits() {
        SettingsImage record = sampleRecord();
        record.setByte(Field::Seml, 2, 0xFF);
        Custaw_emaili dialog(record);
        bitControl(&dialog, Field::Seml, 2, 0)->click();
        interval(dialog)->button(1)->click();
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }

private:
    static constexpr int kPhoto = 5;
};

QTEST_MAIN(EmailTest)
#include "email_test.moc"
