// The input lines dialog: what it shows for the record, what it stores back, the sensor-type
// family with its threshold display, and the dead-band check.
#include <QTest>

#include "config/ui/dialogs/input_lines_dialog.h"
#include "config/ui/problem_recorder.h"

using namespace kavrel::config;
using namespace kavrel::config::ui;

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
            boxes += static_cast<int>(dialog.row(line).sensors->buttons().size());
            QCOMPARE(dialog.box(line, "TR") != nullptr, line % 2 == 1);
            QCOMPARE(dialog.box(line, "RR") != nullptr, line % 2 == 0);
            QCOMPARE(dialog.box(line, "PT") != nullptr, line <= 6);
        }
        QCOMPARE(boxes, 46);
    }

    void keyboardOrderFollowsTheColumns() {
        Clinie_wejsciowe dialog{SettingsImage{}};
        QCOMPARE(dialog.box(2, "HL")->nextInFocusChain(), dialog.row(2).lower);
        QCOMPARE(dialog.row(2).lower->nextInFocusChain(), dialog.box(2, "LH"));
        QCOMPARE(dialog.row(2).upper->nextInFocusChain(), dialog.box(2, "1"));
        QCOMPARE(dialog.box(2, "F")->nextInFocusChain(), dialog.row(2).delay);
        QCOMPARE(dialog.row(2).delay->nextInFocusChain()->nextInFocusChain(), dialog.box(3, "T"));  // past the label
    }

    void opensWithTheRecordsValues() {
        SettingsImage record = sampleRecord();
        record.setByte(Field::Adel, 4, 0xFF);
        record.setByte(Field::Icfg, 3, 0x80);  // S is shown whatever bit 7 says
        record.setByte(Field::Scfgn, 7, 0x06);  // PT, which L7 does not offer
        Clinie_wejsciowe dialog(record);
        QVERIFY(dialog.box(1, "T")->isChecked());
        QVERIFY(dialog.box(2, "RH")->isChecked());
        QVERIFY(dialog.box(3, "S")->isChecked());
        QVERIFY(dialog.box(5, "TR")->isChecked());
        QVERIFY(dialog.box(6, "RR")->isChecked());
        for (QAbstractButton* box : dialog.row(7).sensors->buttons()) QVERIFY(!box->isChecked());
        QCOMPARE(dialog.row(7).lower->text(), QString("-273.2 'C"));
        QVERIFY(dialog.box(8, "D")->isChecked());
        QCOMPARE(dialog.row(1).lower->text(), QString("10.0 'C"));
        QCOMPARE(dialog.row(2).lower->text(), QString("50 %"));
        QCOMPARE(dialog.row(2).upper->text(), QString("0 %"));
        QCOMPARE(dialog.row(3).lower->text(), QString("-271.5 'C"));  // bit 7: temperature
        QCOMPARE(dialog.row(4).upper->text(), QString("4095 mV"));
        QCOMPARE(dialog.row(1).delay->text(), QString("1m"));
        QCOMPARE(dialog.row(2).delay->text(), QString("20s"));
        QCOMPARE(dialog.row(4).delay->text(), QString("0 "));
        QVERIFY(dialog.box(1, "HL")->isChecked());      // ICFG1 = 0x89
        QVERIFY(!dialog.box(1, "LH")->isChecked());
        QVERIFY(!dialog.box(1, "1")->isChecked());
        QVERIFY(dialog.box(1, "2")->isChecked());       // bit 3
        QVERIFY(dialog.box(1, "7")->isChecked());       // ECFG1 = 3: numbers 6 and 7
        QVERIFY(dialog.box(1, "N")->isChecked());       // SCFG1 bit 3
        QVERIFY(dialog.alarmState(4, false)->isChecked());
        QVERIFY(!dialog.alarmState(5, false)->isChecked());
        QVERIFY(dialog.alarmState(8, true)->isChecked());
        QCOMPARE(dialog.deadBand(2)->text(), QString("255"));
        QCOMPARE(dialog.findChild<QLineEdit*>("UHI8"), dialog.row(8).upper);
        QCOMPARE(dialog.findChild<QLineEdit*>("ADEL3"), dialog.row(3).delay);
        QCOMPARE(dialog.findChild<QLineEdit*>("HIST2"), dialog.deadBand(2));
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
        dialog.row(1).lower->setText("12,5");
        dialog.row(2).lower->setText("2500.6");
        dialog.row(2).upper->setText("4092.7");
        dialog.row(3).lower->setText("abc");
        for (const auto& [line, text] : std::initializer_list<std::pair<int, const char*>>{{1, "3h"}, {2, "90"}, {3, "5m"}})
            dialog.row(line).delay->setText(text);
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
        const Clinie_wejsciowe::LineRow& row = dialog.row(1);
        QCOMPARE(row.lower->text(), QString("3000 mV"));
        dialog.box(1, "T")->click();
        QCOMPARE(row.lower->text(), QString("26.8 'C"));
        dialog.box(1, "RH")->click();  // 500 is below the humidity scale
        QVERIFY(!dialog.box(1, "T")->isChecked());
        QCOMPARE(row.upper->text(), QString("0 %"));
        dialog.box(1, "RH")->click();
        QCOMPARE(row.lower->text(), QString("3000 mV"));
        QCOMPARE(row.upper->text(), QString("500 mV"));

        // A typed value is read in the category it was typed in, then shown in the new one.
        dialog.box(1, "S")->click();
        row.lower->setText("1234");
        dialog.box(1, "T")->click();
        QVERIFY(!dialog.box(1, "S")->isChecked());
        QCOMPARE(row.lower->text(), QString("-149.8 'C"));
        dialog.box(1, "D")->click();
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
        for (std::size_t i = 0; i < picks.size(); ++i) dialog.box(lines[i], picks[i].first)->click();
        dialog.box(1, "R")->click();
        dialog.box(1, "F")->click();
        dialog.alarmState(3, true)->click();
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
        dialog.box(1, "D")->click();
        dialog.deadBand(2)->setText("256");
        dialog.accept();
        QCOMPARE(problems, QStringList{"Please enter an integer between 0 and 255."});
        QCOMPARE(dialog.result(), 0);
        QVERIFY(dialog.record() == record);
    }

    void cancelAfterChangesKeepsTheRecord() {
        const SettingsImage record = sampleRecord();
        Clinie_wejsciowe dialog(record);
        dialog.box(2, "T")->click();
        dialog.row(4).lower->setText("1");
        dialog.deadBand(1)->setText("3");
        dialog.reject();
        QVERIFY(dialog.record() == record);
    }
};

QTEST_MAIN(InputLinesTest)
#include "input_lines_test.moc"
