// Decoding the module's "MSR=" and "MSRX=" replies and what the window shows for them.
#include <gtest/gtest.h>

#include <climits>

#include "common/win1250.h"
#include "monitor/display.h"
#include "monitor/measurement.h"

using namespace kavrel;
using namespace kavrel::monitor;

namespace {

const std::string kDeg = "\xB0";   // Windows-1250 degree sign

// L1..L8, low, high, alarm, outputs, GSM, network, SMS, two ignored, e-mail, extMode,
// extended low (XL1..8, XL9..16), extended high (XL1..8, XL9..16).
const char* const kFullReply =
    "MSR=12.34V 23.5'C 45% -3.5'C 3.30V 1234 40.0'C 20% 5 2 1 37 99 0 7 100 200 9 1 1 128 2 128\r";

struct Shown {
    MeasurementSnapshot snapshot;
    MonitorDisplay display;
    MonitorSettings settings;

    bool show(std::string_view reply) {
        const bool parsed = parseMeasurementReply(reply, snapshot);
        if (parsed) showMeasurement(display, snapshot, settings);
        return parsed;
    }
};

} // namespace

TEST(MeasurementReply, EveryFieldOfACompleteReply) {
    MeasurementSnapshot s;
    ASSERT_TRUE(parseMeasurementReply(kFullReply, s));
    const std::array<std::string, 8> values = {"12.34V", "23.5" + kDeg + "C", "45%", "-3.5" + kDeg + "C",
                                               "3.30V",  "1234",              "40.0" + kDeg + "C", "20%"};
    EXPECT_EQ(s.lineValue, values);
    EXPECT_EQ(s.lowMask, 5);
    EXPECT_EQ(s.highMask, 2);
    EXPECT_EQ(s.alarm, 1);
    EXPECT_EQ(s.outputs, 37);
    EXPECT_EQ(s.gsmSignal, 99);
    EXPECT_EQ(s.gsmNetwork, 0);
    EXPECT_EQ(s.smsCount, 7);
    EXPECT_EQ(s.emailCount, 9);   // the two numbers before it are not the e-mail counter
    EXPECT_EQ(s.extMode, 1);
    EXPECT_EQ(s.extLowMask, 0x8001);
    EXPECT_EQ(s.extHighMask, 0x8002);
}

TEST(MeasurementReply, OnlyAnApostropheBeforeCapitalCBecomesTheDegreeSign) {
    MeasurementSnapshot s;
    ASSERT_TRUE(parseMeasurementReply("MSR='C1'C'C 2'c C' '' 'C 5 6 7 8 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0", s));
    EXPECT_EQ(s.lineValue[0], kDeg + "C1" + kDeg + "C" + kDeg + "C");   // every one in a line value
    EXPECT_EQ(s.lineValue[1], "2'c");
    EXPECT_EQ(s.lineValue[2], "C'");
    EXPECT_EQ(s.lineValue[3], "''");
    EXPECT_EQ(s.lineValue[4], kDeg + "C");

    ExtendedReadings x;
    ASSERT_TRUE(parseExtendedReply("MSRX=1'C'C", x));
    EXPECT_EQ(x.value[0], "1" + kDeg + "C'C");                          // only the first in a reading
}

TEST(MeasurementReply, AReplyNotStartingWithMsrIsRefusedAndClearsOnlyTheExtendedState) {
    MeasurementSnapshot s;
    ASSERT_TRUE(parseMeasurementReply(kFullReply, s));
    for (const char* reply : {"ERROR\r", "MSR 1 2", "msr=1", "", "MSRX=1 2 3", " MSR=1"}) {
        MeasurementSnapshot copy = s;
        EXPECT_FALSE(parseMeasurementReply(reply, copy)) << reply;
        EXPECT_EQ(copy.extMode, 0);
        EXPECT_EQ(copy.extLowMask, 0);
        EXPECT_EQ(copy.extHighMask, 0);
        EXPECT_EQ(copy.lineValue, s.lineValue);
        EXPECT_EQ(copy.smsCount, s.smsCount);
    }
    ExtendedReadings x;
    EXPECT_FALSE(parseExtendedReply("MSR=1 2", x));
    EXPECT_FALSE(parseExtendedReply("MSRX 1", x));
}

TEST(MeasurementReply, TextsLongerThanTheirFieldsAreCutWithoutShiftingTheOthers) {
    const std::string longText(300, 'A');
    MeasurementSnapshot s;
    ASSERT_TRUE(parseMeasurementReply("MSR=" + longText + "V 2 3 4 5 6 7 8 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15", s));
    EXPECT_EQ(s.lineValue[0], std::string(15, 'A'));
    EXPECT_EQ(s.lineValue[1], "2");
    EXPECT_EQ(s.lowMask, 1);
    EXPECT_EQ(s.extHighMask, (15 << 8) | 14);

    ExtendedReadings x;
    ASSERT_TRUE(parseExtendedReply("MSRX=" + longText + "'C 21.0'C", x));
    EXPECT_EQ(x.value[0], std::string(15, 'A'));
    EXPECT_EQ(x.value[1], "21.0" + kDeg + "C");
}

TEST(MeasurementReply, MissingAndMalformedFieldsBecomeEmptyOrZeroAndStillCount) {
    MeasurementSnapshot s;
    ASSERT_TRUE(parseMeasurementReply(kFullReply, s));
    ASSERT_TRUE(parseMeasurementReply("MSR=1V 2V 3V\r", s));
    EXPECT_EQ(s.lineValue[2], "3V");
    EXPECT_EQ(s.lineValue[3], "");
    EXPECT_EQ(s.smsCount, 0);
    EXPECT_EQ(s.extMode, 0);

    // A number that stops in the middle ends the reading there, as the module's C formats do.
    ASSERT_TRUE(parseMeasurementReply("MSR=a b c d e f g h 1 2x 3 4", s));
    EXPECT_EQ(s.lowMask, 1);
    EXPECT_EQ(s.highMask, 2);
    EXPECT_EQ(s.alarm, 0);
    // Signs, huge numbers and a NUL that ends the text.
    const char withNul[] = "MSR=a b c d e f g h -4 +3 99999999999999 -99999999999 5\0 6";
    ASSERT_TRUE(parseMeasurementReply(std::string(withNul, sizeof withNul - 1), s));
    EXPECT_EQ(s.lowMask, -4);
    EXPECT_EQ(s.highMask, 3);
    EXPECT_EQ(s.alarm, INT_MAX);
    EXPECT_EQ(s.outputs, INT_MIN);
    EXPECT_EQ(s.gsmSignal, 5);
    EXPECT_EQ(s.gsmNetwork, 0);

    ExtendedReadings x;
    ASSERT_TRUE(parseExtendedReply("MSRX=1%\r", x));
    EXPECT_EQ(x.value[0], "1%");
    EXPECT_EQ(x.value[15], "");
}

TEST(MeasurementDisplay, ValuesAlarmLabelsOutputsAndGsm) {
    Shown shown;
    shown.settings.lineType = {0, 1, 2, 1, 0, 0, 1, 2};
    ASSERT_TRUE(shown.show(kFullReply));
    const MonitorDisplay& d = shown.display;
    EXPECT_EQ(d.lines[1].value, "23.5" + kDeg + "C");
    // lowMask 5 (L1, L3), highMask 2 (L2)
    EXPECT_TRUE(d.lines[0].alarmShown);
    EXPECT_EQ(d.lines[0].alarmText, " LOW");
    EXPECT_EQ(d.lines[1].alarmText, " HIGH");
    EXPECT_EQ(d.lines[2].alarmText, " LOW");
    EXPECT_FALSE(d.lines[3].alarmShown);
    EXPECT_EQ(d.lines[3].alarmText, "Alarm");
    EXPECT_EQ(d.outputs, (std::array<bool, 6>{true, false, true, false, false, true}));   // 37
    EXPECT_TRUE(d.alarmStateShown);
    EXPECT_EQ(d.gsmNumber, 99);
    EXPECT_EQ(d.gsmBar, 0);
    EXPECT_TRUE(d.noNetworkShown);
    EXPECT_EQ(d.smsCount, 7);
    EXPECT_EQ(d.emailCount, 9);

    // L1 both LOW and HIGH: " HIGH" wins; a line that leaves its state keeps the label's text hidden.
    ASSERT_TRUE(shown.show("MSR=1 2 3 4 5 6 7 8 1 1 0 0 17 1 0 0 0 0 0 0 0 0 0"));
    EXPECT_TRUE(d.lines[0].alarmShown);
    EXPECT_EQ(d.lines[0].alarmText, " HIGH");
    EXPECT_FALSE(d.lines[2].alarmShown);
    EXPECT_EQ(d.lines[2].alarmText, " LOW");
    EXPECT_FALSE(d.alarmStateShown);
    EXPECT_FALSE(d.noNetworkShown);
    EXPECT_EQ(d.gsmBar, 17);
}

TEST(MeasurementDisplay, ExtendedLinesByModeAndReadings) {
    Shown shown;
    // XL1 low only, XL2 high only, XL3 both, XL4 neither; XL9 low only.
    ASSERT_TRUE(shown.show("MSR=1 2 3 4 5 6 7 8 0 0 0 0 0 1 0 0 0 0 1 5 1 6 0"));
    const auto& x = shown.display.extended;
    EXPECT_EQ(x[0].value, "LOW");
    EXPECT_TRUE(x[0].low);
    EXPECT_FALSE(x[0].high);
    EXPECT_EQ(x[1].value, "HIGH");
    EXPECT_EQ(x[2].value, "???");
    EXPECT_TRUE(x[2].low && x[2].high);
    EXPECT_EQ(x[3].value, "???");
    EXPECT_EQ(x[8].value, "LOW");

    ExtendedReadings readings;
    ASSERT_TRUE(parseExtendedReply("MSRX=21.0'C 0 55% GND VCC 12 1.5V x\r", readings));
    showExtendedReadings(shown.display, readings);
    EXPECT_EQ(x[0].value, "21.0" + kDeg + "C");
    EXPECT_TRUE(x[0].low);                     // the boxes stay
    EXPECT_EQ(x[1].value, "HIGH");             // a plain 0 leaves the masks' word
    EXPECT_EQ(x[2].value, "55%");
    EXPECT_EQ(x[3].value, "GND");
    EXPECT_EQ(x[4].value, "VCC");
    EXPECT_EQ(x[5].value, "???");
    EXPECT_EQ(x[6].value, "???");

    for (const char* reply : {"MSR=1 2 3 4 5 6 7 8 0 0 0 0 0 1 0 0 0 0 2 255 255 255 255",
                              "MSR=1 2 3 4 5 6 7 8 0 0 0 0 0 1 0 0 0 0 3 255 255 255 255"}) {
        ASSERT_TRUE(shown.show(reply));
        for (const auto& line : x) {
            EXPECT_EQ(line.value, "???");
            EXPECT_FALSE(line.low || line.high);
        }
    }
    ASSERT_TRUE(shown.show("MSR=1 2 3 4 5 6 7 8 0 0 0 0 0 1 0 0 0 0 0 255 255 255 255"));
    for (const auto& line : x) EXPECT_EQ(line.value, "");

    ASSERT_TRUE(shown.show("MSR=1 2 3 4 5 6 7 8 0 0 0 0 0 1 0 0 0 0 1 1 0 0 0"));
    ASSERT_TRUE(shown.show("MSR=1 2 3 4 5 6 7 8 0 0 0 0 0 1 0 0 0 0 7 0 0 255 255"));   // unknown state
    EXPECT_EQ(x[0].value, "LOW");
    EXPECT_TRUE(x[0].low);
}

TEST(MeasurementDisplay, ClearingBlanksReadingsButKeepsCountersAndStatus) {
    Shown shown;
    ASSERT_TRUE(shown.show(kFullReply));
    shown.display.statusText = "Wersja: X";
    clearReadings(shown.display);
    const MonitorDisplay& d = shown.display;
    for (const auto& line : d.lines) {
        EXPECT_EQ(line.barPosition, 0);
        EXPECT_EQ(line.value, "");
        EXPECT_FALSE(line.alarmShown);
    }
    EXPECT_EQ(d.outputs, (std::array<bool, 6>{}));
    EXPECT_FALSE(d.alarmStateShown || d.noNetworkShown);
    for (const auto& line : d.extended) EXPECT_FALSE(line.low || line.high || !line.value.empty());
    EXPECT_EQ(d.smsCount, 7);
    EXPECT_EQ(d.gsmNumber, 99);
    EXPECT_EQ(d.statusText, "Wersja: X");
}

TEST(MeasurementDisplay, BarRangesAndPositions) {
    MonitorSettings settings;
    settings.lineType = {0, 1, 2, 0, 7, 0, 0, 0};   // 7 is no type: read as Voltage
    settings.barMin[3] = -50;
    settings.barMax[5] = 20;
    EXPECT_EQ(barRange(settings, 0), (BarRange{0, 4092}));
    EXPECT_EQ(barRange(settings, 1), (BarRange{0, 40}));
    EXPECT_EQ(barRange(settings, 2), (BarRange{0, 100}));
    EXPECT_EQ(barRange(settings, 3), (BarRange{-50, 0}));
    EXPECT_EQ(barRange(settings, 4), (BarRange{0, 4092}));
    EXPECT_EQ(barRange(settings, 5), (BarRange{0, 20}));

    struct Case {
        const char* value;
        LineType type;
        int position;
    };
    const Case cases[] = {
        {"12.34V", LineType::Voltage, 12340}, {"1234", LineType::Voltage, 1234},   {"3.3", LineType::Voltage, 3},
        {"23.9\xB0" "C", LineType::Temperature, 23}, {"-3.5\xB0" "C", LineType::Temperature, -3},
        {"45%", LineType::Humidity, 45},      {"abc", LineType::Humidity, 0},      {"", LineType::Voltage, 0},
        {"+7V", LineType::Voltage, 7000},     {"1e300V", LineType::Voltage, INT_MAX}, {"nanV", LineType::Voltage, 0},
        {"12,5V", LineType::Voltage, 12000},  // a comma is no decimal point to the module
    };
    for (const auto& c : cases) EXPECT_EQ(barPosition(c.value, c.type), c.position) << c.value;
}

TEST(MeasurementDisplay, SettingsShownInTheWindow) {
    MonitorSettings settings;
    settings.comPort = 4;
    settings.lineName[0] = "Kocioł";
    settings.extName[2] = "Drzwi";
    MonitorDisplay display;
    showSettings(display, settings, false);
    EXPECT_EQ(display.portField, "COM4");
    EXPECT_EQ(display.lines[0].name, "Kocioł");
    EXPECT_EQ(display.extended[2].name, "Drzwi");
    EXPECT_EQ(display.extended[3].name, "Linia XL4");
    EXPECT_EQ(display.fileNameField, "test1.csv");
    EXPECT_EQ(display.periodField, 5);
    showSettings(display, settings, true);
    EXPECT_EQ(display.portField, "TCP/IP");
    EXPECT_EQ(display.statusText, W("Brak połączenia z Kavrel"));
    EXPECT_FALSE(display.statusShown);
}
