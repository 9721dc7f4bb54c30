#include <gtest/gtest.h>

#include "common/win1250.h"
#include "logger/export/csv_form.h"
#include "logger/export/csv_header.h"

using namespace kavrel::logger;
using kavrel::cp1250::toUtf8;

namespace {

std::string header(const LineDescriptions& d, const HeaderColumns& c) { return toUtf8(csvHeader(d, c)); }

} // namespace

TEST(CsvHeader, FullColumnsWithHeadingsByLineKind) {
    HeaderColumns columns{.lines = {0x42, 0xC0, 0xC2, 0xC4, 0xC1, 0xC5, 0x43, 0x44}};
    EXPECT_EQ(header({}, columns),
              "Lp,Czas RTC,L1 [V],T2 [°C],T3 [°C],T4 [°C],RH5 [%],RH6 [%],U7 [],L8 [V]"
              ",LOW,HIGH,Wyjścia,GSM,Roaming,SMS,E-mail,Alarmowy,Czuwanie,Flagi,Stan_XL,Poprawność\n");
}

TEST(CsvHeader, ReducedColumnsWithoutLoggedLines) {
    EXPECT_EQ(header({}, {.full = false}), "Lp,Czas RTC,GSM,SMS,Alarmowy,Poprawność\n");
}

TEST(CsvHeader, NamesReplaceHeadingsAndOverride255RemovesTheColumn) {
    LineDescriptions d;
    d.lines[0] = {.kindOverride = 1, .name = "Zbiornik"};  // not logged, named: a column
    d.lines[1] = {.kindOverride = 255, .name = "Stara"};   // logged, removed
    d.lines[2] = {.kindOverride = 255};                    // removed without a name too
    const HeaderColumns columns{.lines = {0x02, 0x42, 0x42, 0x42, 0, 0, 0, 0}, .full = false};
    EXPECT_EQ(header(d, columns), "Lp,Czas RTC,Zbiornik,L4 [V],GSM,SMS,Alarmowy,Poprawność\n");
}

TEST(CsvHeader, ExtendedLineColumns) {
    LineDescriptions d;
    d.lines[8 + 1] = {.name = "Piec"};
    d.lines[8 + 2] = {.kindOverride = 255};
    d.lines[8 + 9] = {.name = kavrel::W("Prąd")};                     // an energy meter's heading wins over a name
    d.lines[8 + 15] = {.kindOverride = 255, .name = "Wh"};  // ... but not over removal
    const std::string reduced = "Lp,Czas RTC,GSM,SMS,Alarmowy,Poprawność";
    EXPECT_EQ(header(d, {.extendedLines = true, .full = false}),
              reduced + ",XL1,Piec,XL4,XL5,XL6,XL7,XL8,XL9,Prąd,XL11,XL12,XL13,XL14,XL15\n");
    EXPECT_EQ(header(d, {.energyMeter = true, .full = false}),
              reduced + ",XL1,Piec,XL4,XL5,XL6,XL7,XL8,U [V],I [A],f [Hz],P [W],S [VA],cos fi,kWh\n");
}

TEST(CsvForm, SemicolonsAndDecimalCommasUnlessCommasAreChosen) {
    EXPECT_EQ(toSemicolonForm("Lp,Czas RTC,Temp. wew, kuchnia\n"), "Lp;Czas RTC;Temp, wew; kuchnia\n");
    EXPECT_EQ(toSemicolonForm("1,2024-01-02  3:04:05,12.345,-20.0"), "1;2024-01-02  3:04:05;12,345;-20,0");
    EXPECT_TRUE(semicolonForm(false, false));
    EXPECT_FALSE(semicolonForm(true, false));
    EXPECT_TRUE(semicolonForm(true, true));  // printing reads the semicolon form
}
