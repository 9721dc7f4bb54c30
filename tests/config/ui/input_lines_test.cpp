// The input lines dialog: what it shows for the record, what it stores back, the sensor-type
// family with its threshold display, and the dead-band check.
#include <QButtonGroup>
#include <QTest>
#include <map>

#include "config/ui/dialogs/input_lines_dialog.h"
#include "config/ui/problem_recorder.h"
#include "support/dialog_controls.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;
using namespace kavrel::testing;

namespace {

// A record that uses every byte the dialog owns, with only bits the dialog keeps.
SettingsImage sampleRecord() {
    SettingsImage record;
    const std::array<std::pair<std::uint8_t, std::uint8_t>, 8> types = {
        {{0x80, 0}, {0x80, 1}, {0x00, 3}, {0x00, 0}, {0x80, 4}, {0x80, 5}, {0x80, 0}, {0x80, 2}}};
    for (int line = 1; line <= 8; ++line) {
        const auto [sensor, type] = types[static_cast<std::size_t>(line - 1)];
        record.setByte(Field::Icfg, line, static_cast<std::uint8_t>(sensor | (line * 9 & 0x7F)));
        record.setByte(Field::Scfgn, line, static_cast<std::uint8_t>(type | (line << 3 & 0x78)));
        record.setByte(Field::Ecfg, line, static_cast<std::uint8_t>(line * 3 & 0x1F));
        record.setByte(Field::Adel, line, static_cast<std::uint8_t>(line % 2 ? 0x80 + line : 10 * line));
    }
    record.setWord(Field::Ulo, 1, 2832);  // 10.0 'C
    record.setWord(Field::Uhi, 1, 3033);  // 30.1 'C
    record.setWord(Field::Ulo, 2, 2010);  // 50.5 %: shown as a whole percent
    record.setWord(Field::Uhi, 2, 500);   // below the humidity scale: shown as 0 %
    record.setWord(Field::Ulo, 3, 17);
    record.setWord(Field::Uhi, 4, 4095);
    record.setByte(Field::Hist1, 20);
    record.setByte(Field::Hist2, 255);
    record.setByte(Field::Almd, 1, 0x0F);
    record.setByte(Field::Almd, 2, 0xA0);
    return record;
}

// The sensor-type boxes of line Ln, which set SCFGn bits 0..2.
QButtonGroup* sensors(const QWidget& dialog, int line) {
    return fieldControl<QButtonGroup>(&dialog, bitsControlName(Field::Scfgn, line, 0, 2));
}

// A box of line Ln by its column: a sensor type ("T", "RH", ...) or the bit it stands for
// (directions HL and LH, recipients 1..10, options R, N, C, F); null when the line has none.
QCheckBox* box(const QWidget& dialog, int line, const QString& caption) {
    for (QAbstractButton* type : sensors(dialog, line)->buttons())
        if (type->text() == caption) return static_cast<QCheckBox*>(type);
    static const std::map<QString, std::pair<Field, int>> bits = {
        {"HL", {Field::Icfg, 0}}, {"LH", {Field::Icfg, 1}}, {"1", {Field::Icfg, 2}},  {"2", {Field::Icfg, 3}},
        {"3", {Field::Icfg, 4}},  {"4", {Field::Icfg, 5}},  {"5", {Field::Icfg, 6}},  {"6", {Field::Ecfg, 0}},
        {"7", {Field::Ecfg, 1}},  {"8", {Field::Ecfg, 2}},  {"9", {Field::Ecfg, 3}},  {"10", {Field::Ecfg, 4}},
        {"R", {Field::Scfgn, 4}}, {"N", {Field::Scfgn, 3}}, {"C", {Field::Scfgn, 5}}, {"F", {Field::Scfgn, 6}}};
    const auto bit = bits.find(caption);
    return bit == bits.end() ? nullptr : bitControl(&dialog, bit->second.first, line, bit->second.second);
}

// The alarm-state boxes: ALMD value 2 holds the high states, value 1 the low ones.
QCheckBox* alarmState(const QWidget& dialog, int line, bool high) {
    return bitControl(&dialog, Field::Almd, high ? 2 : 1, line - 1);
}

QLineEdit* lower(const QWidget& dialog, int line) { return fieldControl(&dialog, Field::Ulo, line); }
QLineEdit* upper(const QWidget& dialog, int line) { return fieldControl(&dialog, Field::Uhi, line); }
QLineEdit* delay(const QWidget& dialog, int line) { return fieldControl(&dialog, Field::Adel, line); }
QLineEdit* deadBand(const QWidget& dialog, int which) { return fieldControl(&dialog, which == 1 ? Field::Hist1 : Field::Hist2); }

} // namespace

class InputLinesTest : public QObject {
    Q_OBJECT
    QStringList problems;

private slots:
    void init() { recordProblems(problems); }

    void everyLineOffersItsOwnSensorTypes() {
        Clinie_wejsciowe dialog{SettingsImage{}};
        int boxes = 0;
        for (int line = 1; line <= 8; ++line) {
            boxes += static_cast<int>(sensors(dialog, line)->buttons().size());
            QCOMPARE(box(dialog, line, "TR") != nullptr, line % 2 == 1);
            QCOMPARE(box(dialog, line, "RR") != nullptr, line % 2 == 0);
            QCOMPARE(box(dialog, line, "PT") != nullptr, line <= 6);
        }
        QCOMPARE(boxes, 46);
    }

    void keyboardOrderFollowsTheColumns() {
        Clinie_wejsciowe dialog{SettingsImage{}};
        QCOMPARE(box(dialog, 2, "HL")->nextInFocusChain(), lower(dialog, 2));
        QCOMPARE(lower(dialog, 2)->nextInFocusChain(), box(dialog, 2, "LH"));
        QCOMPARE(upper(dialog, 2)->nextInFocusChain(), box(dialog, 2, "1"));
        QCOMPARE(box(dialog, 2, "F")->nextInFocusChain(), delay(dialog, 2));
        QCOMPARE(delay(dialog, 2)->nextInFocusChain()->nextInFocusChain(), box(dialog, 3, "T"));  // past the label
    }

    void opensWithTheRecordsValues() {
        SettingsImage record = sampleRecord();
        record.setByte(Field::Adel, 4, 0xFF);
        record.setByte(Field::Icfg, 3, 0x80);  // S is shown whatever bit 7 says
        record.setByte(Field::Scfgn, 7, 0x06);  // PT, which L7 does not offer
        Clinie_wejsciowe dialog(record);
        QVERIFY(box(dialog, 1, "T")->isChecked());
        QVERIFY(box(dialog, 2, "RH")->isChecked());
        QVERIFY(box(dialog, 3, "S")->isChecked());
        QVERIFY(box(dialog, 5, "TR")->isChecked());
        QVERIFY(box(dialog, 6, "RR")->isChecked());
        for (QAbstractButton* box : sensors(dialog, 7)->buttons()) QVERIFY(!box->isChecked());
        QCOMPARE(lower(dialog, 7)->text(), QString("-273.2 'C"));
        QVERIFY(box(dialog, 8, "D")->isChecked());
        QCOMPARE(lower(dialog, 1)->text(), QString("10.0 'C"));
        QCOMPARE(lower(dialog, 2)->text(), QString("50 %"));
        QCOMPARE(upper(dialog, 2)->text(), QString("0 %"));
        QCOMPARE(lower(dialog, 3)->text(), QString("-271.5 'C"));  // bit 7: temperature
        QCOMPARE(upper(dialog, 4)->text(), QString("4095 mV"));
        QCOMPARE(delay(dialog, 1)->text(), QString("1m"));
        QCOMPARE(delay(dialog, 2)->text(), QString("20s"));
        QCOMPARE(delay(dialog, 4)->text(), QString("0 "));
        QVERIFY(box(dialog, 1, "HL")->isChecked());      // ICFG1 = 0x89
        QVERIFY(!box(dialog, 1, "LH")->isChecked());
        QVERIFY(!box(dialog, 1, "1")->isChecked());
        QVERIFY(box(dialog, 1, "2")->isChecked());       // bit 3
        QVERIFY(box(dialog, 1, "7")->isChecked());       // ECFG1 = 3: numbers 6 and 7
        QVERIFY(box(dialog, 1, "N")->isChecked());       // SCFG1 bit 3
        QVERIFY(alarmState(dialog, 4, false)->isChecked());
        QVERIFY(!alarmState(dialog, 5, false)->isChecked());
        QVERIFY(alarmState(dialog, 8, true)->isChecked());
        QCOMPARE(deadBand(dialog, 2)->text(), QString("255"));
        QCOMPARE(fieldControl(&dialog, "UHI8"), upper(dialog, 8));
        QCOMPARE(fieldControl(&dialog, "ADEL3"), delay(dialog, 3));
        QCOMPARE(fieldControl(&dialog, "HIST2"), deadBand(dialog, 2));
    }

    void acceptingUnchangedKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Clinie_wejsciowe dialog(record);
        dialog.accept();
        QCOMPARE(dialog.result(), static_cast<int>(QDialog::Accepted));
        // The humidity thresholds shown rounded (2010, 500) are kept exactly too.
        QVERIFY(dialog.record() == record);
    }

    void acceptingDropsOnlyTheReservedBits() {
        SettingsImage record = sampleRecord();
        record.setByte(Field::Scfgn, 1, 0x80);   // bit 7 reserved
        record.setByte(Field::Ecfg, 2, 0xE1);    // bits 5..7 reserved
        record.setByte(Field::Adel, 3, 0xFF);    // erased: no delay
        record.setByte(Field::Icfg, 4, 0x80);
        record.setByte(Field::Scfgn, 4, 0x07);   // a sensor code with no box: temperature
        record.setWord(Field::Ulo, 4, 3000);
        Clinie_wejsciowe dialog(record);
        dialog.accept();
        SettingsImage expected = record;
        expected.setByte(Field::Scfgn, 1, 0x00);
        expected.setByte(Field::Ecfg, 2, 0x01);
        expected.setByte(Field::Adel, 3, 0x00);
        expected.setByte(Field::Icfg, 4, 0x00);  // no box ticked: a voltage input
        expected.setByte(Field::Scfgn, 4, 0x00);
        QVERIFY(dialog.record() == expected);
    }

    void typedThresholdsAndDelaysAreConverted() {
        SettingsImage record;
        record.setByte(Field::Icfg, 1, 0x80);  // T
        Clinie_wejsciowe dialog(record);
        lower(dialog, 1)->setText("12,5");
        lower(dialog, 2)->setText("2500.6");
        upper(dialog, 2)->setText("4092.7");
        lower(dialog, 3)->setText("abc");
        for (const auto& [line, text] : std::initializer_list<std::pair<int, const char*>>{{1, "3h"}, {2, "90"}, {3, "5m"}})
            delay(dialog, line)->setText(text);
        dialog.accept();
        QCOMPARE(dialog.record().word(Field::Ulo, 1), 2857);
        QCOMPARE(dialog.record().word(Field::Ulo, 2), 2501);
        QCOMPARE(dialog.record().word(Field::Uhi, 2), 4092);
        QCOMPARE(dialog.record().word(Field::Ulo, 3), 0);
        QCOMPARE(dialog.record().byte(Field::Adel, 1), 0xFE);
        QCOMPARE(dialog.record().byte(Field::Adel, 2), 90);
        QCOMPARE(dialog.record().byte(Field::Adel, 3), 0x85);
    }

    void switchingTheSensorTypeKeepsTheRawThresholds() {
        SettingsImage record;
        record.setWord(Field::Ulo, 1, 3000);
        record.setWord(Field::Uhi, 1, 500);
        Clinie_wejsciowe dialog(record);
        QCOMPARE(lower(dialog, 1)->text(), QString("3000 mV"));
        box(dialog, 1, "T")->click();
        QCOMPARE(lower(dialog, 1)->text(), QString("26.8 'C"));
        box(dialog, 1, "RH")->click();  // 500 is below the humidity scale
        QVERIFY(!box(dialog, 1, "T")->isChecked());
        QCOMPARE(upper(dialog, 1)->text(), QString("0 %"));
        box(dialog, 1, "RH")->click();
        QCOMPARE(lower(dialog, 1)->text(), QString("3000 mV"));
        QCOMPARE(upper(dialog, 1)->text(), QString("500 mV"));

        // A typed value is read in the category it was typed in, then shown in the new one.
        box(dialog, 1, "S")->click();
        lower(dialog, 1)->setText("1234");
        box(dialog, 1, "T")->click();
        QVERIFY(!box(dialog, 1, "S")->isChecked());
        QCOMPARE(lower(dialog, 1)->text(), QString("-149.8 'C"));
        box(dialog, 1, "D")->click();
        dialog.accept();
        QCOMPARE(dialog.record().byte(Field::Icfg, 1), 0x80);
        QCOMPARE(dialog.record().byte(Field::Scfgn, 1), 2);
        QCOMPARE(dialog.record().word(Field::Ulo, 1), 1234);
        QCOMPARE(dialog.record().word(Field::Uhi, 1), 500);
    }

    void scaledAndOtherTypeCodesAreWrittenBack() {
        Clinie_wejsciowe dialog{SettingsImage{}};
        const std::array<std::pair<const char*, std::pair<int, int>>, 4> picks = {
            {{"S", {0x00, 3}}, {"RR", {0x80, 5}}, {"TR", {0x80, 4}}, {"PT", {0x80, 6}}}};
        const std::array<int, 4> lines = {1, 2, 3, 6};
        for (std::size_t i = 0; i < picks.size(); ++i) box(dialog, lines[i], picks[i].first)->click();
        box(dialog, 1, "R")->click();
        box(dialog, 1, "F")->click();
        alarmState(dialog, 3, true)->click();
        dialog.accept();
        for (std::size_t i = 0; i < picks.size(); ++i) {
            QCOMPARE(dialog.record().byte(Field::Icfg, lines[i]), picks[i].second.first);
            QCOMPARE(dialog.record().byte(Field::Scfgn, lines[i]) & 0x07, picks[i].second.second);
        }
        QCOMPARE(dialog.record().byte(Field::Scfgn, 1), 0x53);
        QCOMPARE(dialog.record().byte(Field::Almd, 2), 0x04);
    }

    void deadBandsOutsideTheRangeAreRefused() {
        const SettingsImage record = sampleRecord();
        Clinie_wejsciowe dialog(record);
        box(dialog, 1, "D")->click();
        deadBand(dialog, 2)->setText("256");
        dialog.accept();
        QCOMPARE(problems, QStringList{"Please enter an integer between 0 and 255."});
        QCOMPARE(dialog.result(), 0);
        QVERIFY(dialog.record() == record);
    }

    void cancelAfterChangesKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Clinie_wejsciowe dialog(record);
        box(dialog, 2, "T")->click();
        lower(dialog, 4)->setText("1");
        deadBand(dialog, 1)->setText("3");
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }
};

QTEST_MAIN(InputLinesTest)
#include "input_lines_test.moc"
