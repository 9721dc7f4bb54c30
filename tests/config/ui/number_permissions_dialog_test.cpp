// "Uprawnienia numerów": each box is one bit of the seven permission bytes; the dialog
// rebuilds those bytes from zero and never touches the e-mail recipients of the report.
#include <QGridLayout>
#include <QTest>
#include <map>
#include <optional>

#include "config/ui/dialogs/number_permissions_dialog.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::testing;

namespace {

// The grid column of a box: numbers 1..10 head columns 1..10, "DOWOLNY" column 11.
int columnOf(QWidget* dialog, QWidget* box) {
    auto* grid = dialog->findChild<QGridLayout*>();
    int row = 0, column = -1, rows = 0, columns = 0;
    grid->getItemPosition(grid->indexOf(box), &row, &column, &rows, &columns);
    return column;
}

// A box by its row's key and its column's heading ("CLIP_7", "CTRL_DOWOLNY"), found by the
// bit it stands for: numbers 1..5 are bits 0..4 of the row's first byte, 6..10 bits 0..4 of
// its second, "DOWOLNY" bit 7 of the first. The box must stand under its heading.
QCheckBox* box(QWidget* dialog, const char* name) {
    static const std::map<QString, std::pair<Field, std::optional<Field>>> rows = {
        {"RCFG", {Field::Rcfg1, Field::Rcfg3}},
        {"CLIP", {Field::Clip1, Field::Clip2}},
        {"CTRL", {Field::Ctrl1, Field::Ctrl2}},
        {"CSDC", {Field::Csdc, std::nullopt}}};
    const QString text = QString::fromLatin1(name);
    const auto& [first, second] = rows.at(text.section('_', 0, 0));
    const QString heading = text.section('_', 1);
    const int number = heading == "DOWOLNY" ? 11 : heading.toInt();
    QCheckBox* found = number == 11 ? bitControl(dialog, first, 0, 7)
                       : number <= 5 ? bitControl(dialog, first, 0, number - 1)
                                     : bitControl(dialog, second.value(), 0, number - 6);
    if (columnOf(dialog, found) != number) qFatal("box %s stands in another column", name);
    return found;
}

} // namespace

class NumberPermissionsDialogTest : public QObject {
    Q_OBJECT

private slots:
    void acceptingUnchangedKeepsValidBitsAndClearsReservedOnes() {
        SettingsImage record;
        record.setByte(Field::Rcfg1, 0x15);
        record.setByte(Field::Rcfg3, 0x0A);
        record.setByte(Field::Clip1, 0x83);
        record.setByte(Field::Clip2, 0x1F);
        record.setByte(Field::Ctrl1, 0x10);
        record.setByte(Field::Ctrl2, 0x01);
        record.setByte(Field::Csdc, 0x81);
        record.setByte(Field::Rcfg2, 0xFF);  // the e-mail dialog's byte
        const SettingsImage original = record;
        {
            Cuprawnienia dialog(record);
            dialog.accept();
            QVERIFY(dialog.record() == original);
        }
        record.setByte(Field::Rcfg1, 0x95);  // bit 7: no "DOWOLNY" in the report row
        record.setByte(Field::Ctrl2, 0xE1);  // bits 5..7 of numbers 6..10 are reserved
        Cuprawnienia dialog(record);
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Rcfg1), 0x15);
        QCOMPARE(dialog.record().byte(Field::Ctrl2), 0x01);
        QCOMPARE(dialog.record().byte(Field::Rcfg2), 0xFF);
    }

    void numberSevenOnDemandIsBitOneOfTheSecondClipByte() {
        Cuprawnienia dialog{SettingsImage{}};
        box(&dialog, "CLIP_7")->setChecked(true);
        dialog.accept();
        SettingsImage expected;
        expected.setByte(Field::Clip2, 0x02);
        QVERIFY(dialog.record() == expected);
    }

    void anyCallerIsBitSevenOfTheFirstByte() {
        Cuprawnienia dialog{SettingsImage{}};
        box(&dialog, "CTRL_DOWOLNY")->setChecked(true);
        box(&dialog, "RCFG_10")->setChecked(true);
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Ctrl1), 0x80);
        QCOMPARE(dialog.record().byte(Field::Rcfg3), 0x10);
        QVERIFY(!hasFieldControl(&dialog, bitControlName(Field::Rcfg1, 0, 7)));  // no "DOWOLNY" for the report
        QVERIFY(!hasFieldControl(&dialog, bitControlName(Field::Csdc, 0, 5)));   // no numbers 6..10 for CSD
    }

    void erasedBytesShowEverythingAndComeBackWithoutReservedBits() {
        SettingsImage record;
        record.setByte(Field::Clip1, 0xFF);
        record.setByte(Field::Csdc, 0xFF);
        Cuprawnienia dialog(record);
        for (const char* name : {"CLIP_1", "CLIP_5", "CLIP_DOWOLNY", "CSDC_1", "CSDC_5", "CSDC_DOWOLNY"})
            QVERIFY2(box(&dialog, name)->isChecked(), name);
        // The CSD row shows the stored permissions but cannot be changed.
        for (const char* name : {"CSDC_1", "CSDC_3", "CSDC_5", "CSDC_DOWOLNY"}) QVERIFY(!box(&dialog, name)->isEnabled());
        QVERIFY(box(&dialog, "CLIP_1")->isEnabled());
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Clip1), 0x9F);
        QCOMPARE(dialog.record().byte(Field::Csdc), 0x9F);
    }

    void cancelAfterChangesKeepsTheRecord() {
        SettingsImage record;
        record.setByte(Field::Clip1, 0xE7);
        const SettingsImage original = record;
        Cuprawnienia dialog(record);
        box(&dialog, "CLIP_1")->setChecked(false);
        box(&dialog, "RCFG_6")->setChecked(true);
        dialog.reject();
        QVERIFY(record == original);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(NumberPermissionsDialogTest)
#include "number_permissions_dialog_test.moc"
