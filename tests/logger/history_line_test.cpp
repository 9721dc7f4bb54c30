#include <gtest/gtest.h>

#include "logger/records/history_line.h"
#include "logger/record_builder.h"

using namespace kavrel::logger;
using kavrel::logger::testing::extendedRecord;
using kavrel::logger::testing::Measurement;
using kavrel::logger::testing::measurementRecord;

TEST(ValueText, ByKindOfTheInputLine) {
    struct Case { std::uint8_t configuration; std::uint16_t raw; const char* text; };
    const Case cases[] = {
        {0x42, 12345, ",12.345"},
        {0xC2, static_cast<std::uint16_t>(-200), ",-20.0"},
        {0xC1, 45, ",45%"},
        {0x44, 2501, ",1"}, {0x44, 2500, ",0"},
        {0x45, 2499, ",1"}, {0x45, 2500, ",0"},
        {0x43, 65535, ",65535"},
        {0xC6, 1, ",0.1"}, {0xC4, 0, ",0.0"}, {0xC5, 100, ",100%"},
        {0x40, 0, ",0.000"}, {0x07, 65535, ",65.535"},  // every other kind is a voltage
    };
    for (const auto& c : cases)
        EXPECT_EQ(valueField(inputLineKind(c.configuration), c.raw), c.text) << int(c.configuration) << " " << c.raw;
}

TEST(ValueText, ByKindOfTheExtendedLine) {
    EXPECT_EQ(valueField(extendedLineKind(1), 80), ",80%");
    EXPECT_EQ(valueField(extendedLineKind(2), static_cast<std::uint16_t>(-5)), ",-0.5");
    EXPECT_EQ(valueField(extendedLineKind(4), 3000), ",1");
    EXPECT_EQ(valueField(extendedLineKind(5), 3000), ",0");
    for (int kind : {0, 3, 6, 7}) EXPECT_EQ(valueField(extendedLineKind(kind), 3300), ",3.300") << kind;
    EXPECT_EQ(valueField(ValueKind::Tenths, 65535), ",6553.5");  // unsigned, unlike a temperature
}

namespace {

struct HistoryLineTest : ::testing::Test {
    LineDescriptions descriptions;
    LineConfiguration lines = {0x42, 0, 0xC2, 0, 0xC1, 0, 0, 0x44};  // L1, L3, L5, L8 logged

    std::string measurementLine(const Measurement& m, bool full = true, bool correct = true) {
        HistoryLineBuilder builder(descriptions, lines, full);
        return builder.measurement(measurementRecord(m), m.time, correct);
    }
};

} // namespace

TEST_F(HistoryLineTest, FullLineByteForByte) {
    Measurement m{.number = 77, .time = {2024, 12, 31, 7, 8, 9}};
    m.values = {12345, 1, static_cast<std::uint16_t>(-200), 1, 45, 1, 1, 2501};
    m.low = 0b101;
    m.outputs = 0b1;
    m.gsm = 0x80 | 0x40 | 21;
    m.sms = 300;
    m.flags = 0x13;
    m.email = 4;
    m.xlState = 0x8001;
    EXPECT_EQ(measurementLine(m), "77,2024-12-31  7:08:09,12.345,-20.0,45%,1,1 3 ,,1 ,21,1,300,4,1,1,19,32769,1");
}

TEST_F(HistoryLineTest, ReducedLineHasNumberTimeLinesGsmSmsAlarmAndCorrectness) {
    Measurement m{.number = 5, .time = {2024, 1, 2, 13, 0, 0}};
    m.values[0] = 5000;
    m.gsm = 17;  // level not valid: written as 0
    m.sms = 2;
    m.flags = 0x01;
    EXPECT_EQ(measurementLine(m, false, false), "5,2024-01-02 13:00:00,5.000,0.0,0%,0,0,2,1,0");
}

TEST_F(HistoryLineTest, NamesAndOverridesDecideColumnsAndKinds) {
    descriptions.lines[1] = {.kindOverride = 1, .name = "Zbiornik"};     // L2 not logged, named: humidity
    descriptions.lines[2] = {.kindOverride = 255, .name = "Zbiornik"};   // L3 removed although logged
    descriptions.lines[4] = {.kindOverride = 3};                         // no name: the override is ignored
    descriptions.lines[7] = {.kindOverride = 9, .name = "Drzwi"};        // no kind chosen by 9
    Measurement m{.number = 1, .time = {2024, 1, 2, 3, 4, 5}};
    m.values = {1000, 57, 1, 1, 45, 1, 1, 2600};
    EXPECT_EQ(measurementLine(m, false), "1,2024-01-02  3:04:05,1.000,57%,45%,1,0,0,0,1");
}

TEST_F(HistoryLineTest, ASecondMeasurementEndsTheOpenLineFirst) {
    HistoryLineBuilder builder(descriptions, lines, false);
    const Measurement m{.number = 1};
    EXPECT_EQ(builder.measurement(measurementRecord(m), m.time, true).front(), '1');
    EXPECT_TRUE(builder.lineOpen());
    EXPECT_EQ(builder.measurement(measurementRecord(m), m.time, false).substr(0, 2), "\n1");
    EXPECT_EQ(builder.invalidRecords(), 1);
}

TEST_F(HistoryLineTest, ExtendedValuesEndTheLine) {
    HistoryLineBuilder builder(descriptions, lines, false);
    std::array<std::uint16_t, 16> v{};
    for (std::size_t i = 0; i < 16; ++i) v[i] = static_cast<std::uint16_t>(1000 + i);
    v[1] = 55;
    v[8] = 2501;
    descriptions.lines[8 + 2] = {.kindOverride = 255};                  // XL3 removed
    descriptions.lines[8 + 3] = {.kindOverride = 3, .name = "Licznik"};  // XL4 a raw number
    // XL1..8 kind 0 except XL2 humidity; XL9..16 kind 4 (above 2500).
    builder.measurement(measurementRecord({}), {}, true);
    EXPECT_EQ(builder.extended(extendedRecord(0x40 | 0x00, v)).substr(0, 13), ",1.000,0.055,");
    const std::uint8_t kinds = 0x41;  // every XL1..8 humidity
    v[0] = 12;
    EXPECT_EQ(builder.extended(extendedRecord(kinds, v)),
              ",12%,55%,1003,1004%,1005%,1006%,1007%,1,0,0,0,0,0,0,0\n");
    EXPECT_FALSE(builder.lineOpen());
}

TEST_F(HistoryLineTest, NoValuesMarkerOnlyEndsTheLine) {
    HistoryLineBuilder builder(descriptions, lines, false);
    builder.measurement(measurementRecord({}), {}, true);
    EXPECT_EQ(builder.extended(extendedRecord(0x80, {})), "\n");
    EXPECT_FALSE(builder.lineOpen());
}

TEST_F(HistoryLineTest, EnergyMeterColumnsFollowTheFlagsOfTheMeasurement) {
    HistoryLineBuilder builder(descriptions, lines, false);
    std::array<std::uint16_t, 16> v{};
    v[8] = 2305;   // XL9 voltage in tenths
    v[9] = static_cast<std::uint16_t>(-50);  // XL10, read as a temperature below
    v[10] = 500;   // XL11 frequency
    v[11] = 1500;  // XL12 active power
    v[12] = 1600;  // XL13 apparent power
    v[13] = 987;   // XL14 power factor
    v[14] = 1234;  // XL15 kWh
    v[15] = 56;    // XL16 Wh
    descriptions.lines[8 + 9] = {.kindOverride = 2, .name = "Prąd"};  // an override still wins
    builder.measurement(measurementRecord({.flags = 0x10}), {}, true);
    EXPECT_EQ(builder.extended(extendedRecord(0x00, v)),
              ",0.000,0.000,0.000,0.000,0.000,0.000,0.000,0.000,230.5,-5.0,50.0,1500,1600,0.987,1234,56\n");

    builder.measurement(measurementRecord({.flags = 0x00}), {}, true);
    EXPECT_EQ(builder.extended(extendedRecord(0x00, v)).substr(48), ",2.305,-5.0,0.500,1.500,1.600,0.987,1.234,0.056\n");
}
