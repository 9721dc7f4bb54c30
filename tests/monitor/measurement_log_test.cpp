// The CSV measurement log, byte for byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/win1250.h"
#include "monitor/measurement_log.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::monitor;
using kavrel::testing::readWholeFile;
using kavrel::testing::TempFolder;

namespace {

MeasurementSnapshot sampleSnapshot() {
    MeasurementSnapshot s;
    s.lineValue = {"12.34V", "23.5\xB0" "C", "45%", "-3.5\xB0" "C", "123456789V", "1.5", "", "0.0V"};
    s.alarm = 1;
    s.gsmNetwork = 1;
    s.gsmSignal = 23;
    s.smsCount = 4;
    s.emailCount = 2;
    return s;
}

const LocalDateTime kMoment{2024, 3, 7, 9, 5, 1};

} // namespace

TEST(StripUnit, CutsAUnitBetweenTheSecondAndTheEighthCharacter) {
    const std::pair<std::string, std::string> cases[] = {
        {"12.34V", "12.34"},         {"23.5\xB0" "C", "23.5"}, {"45%", "45"},           {"-3.5\xB0" "C", "-3.5"},
        {"123456789V", "123456789V"}, {"1234567V", "1234567"},  {"12345678V", "12345678V"}, {"V12", "V12"},
        {"%", "%"},                  {"", ""},                 {"12\xB0", "12\xB0"},    {"1.5", "1.5"},
        {"7\xB0" "F", "7\xB0" "F"},  {"GND", "GND"},
    };
    for (const auto& [value, cut] : cases) {
        std::string text = value;
        stripUnit(text);
        EXPECT_EQ(text, cut) << cp1250::toUtf8(value);
    }
}

TEST(MeasurementLog, HeaderNamesUnitsAndExtendedLines) {
    MonitorSettings settings;
    settings.lineName[1] = W("Kocioł");
    settings.lineType = {0, 1, 2, 0, 0, 0, 0, 0};
    settings.extName[0] = "Drzwi";
    settings.extName[15] = "Okno";
    const std::string expected = W("Lp;Czas;Linia L1 [V];Kocioł [°C];Linia L3 [%];Linia L4 [V];Linia L5 [V];Linia L6 [V];"
                                   "Linia L7 [V];Linia L8 [V];Alarmowy;Sieć GSM;Sygnał GSM;SMS;E-mail ;Drzwi ; ; ; ; ; ; ; ;"
                                   " ; ; ; ; ; ; ;Okno\r\n");
    EXPECT_EQ(formatLogHeader(settings), expected);
}

TEST(MeasurementLog, RowWithoutExtendedLinesHas15Columns) {
    const std::string row = formatLogRow(1, kMoment, sampleSnapshot());
    EXPECT_EQ(row, "1 ;2024-03-07 9:05:01 ;12,34 ;23,5 ;45 ;-3,5 ;123456789V ;1,5 ; ;0,0 ;1 ;1 ;23 ;4 ;2 \r\n");
    EXPECT_EQ(std::count(row.begin(), row.end(), ';'), 14);
}

TEST(MeasurementLog, RowWithExtendedLinesHas31Columns) {
    MeasurementSnapshot s = sampleSnapshot();
    s.extMode = 1;
    s.extLowMask = 0x0001 | 0x0004 | 0x8000;    // XL1 low, XL3 both, XL16 low
    s.extHighMask = 0x0002 | 0x0004 | 0x0100;   // XL2 high, XL9 high
    const std::string row = formatLogRow(12, kMoment, s);
    EXPECT_EQ(row, "12 ;2024-03-07 9:05:01 ;12,34 ;23,5 ;45 ;-3,5 ;123456789V ;1,5 ; ;0,0 ;1 ;1 ;23 ;4 ;2  ;0 ;1 ;? ;? ;? ;? ;? ;?"
                   " ;1 ;? ;? ;? ;? ;? ;? ;0\r\n");
    EXPECT_EQ(std::count(row.begin(), row.end(), ';'), 30);
    s.extMode = 2;   // only a module reporting its masks gets the extended columns
    const std::string plain = formatLogRow(1, kMoment, s);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), ';'), 14);
}

TEST(MeasurementLog, AppendsToTheFileAndReportsAFileThatCannotBeOpened) {
    TempFolder dir;
    const auto file = dir.path / "pomiary.csv";
    MonitorSettings settings;
    ASSERT_TRUE(appendLogHeader(file, settings));
    ASSERT_TRUE(appendLogRow(file, 1, kMoment, sampleSnapshot()));
    ASSERT_TRUE(appendLogHeader(file, settings));   // a second START on the same file
    ASSERT_TRUE(appendLogRow(file, 1, kMoment, sampleSnapshot()));
    const std::string header = formatLogHeader(settings), row = formatLogRow(1, kMoment, sampleSnapshot());
    EXPECT_EQ(readWholeFile(file), header + row + header + row);

    EXPECT_FALSE(appendLogHeader(dir.path / "brak" / "x.csv", settings));
    EXPECT_FALSE(appendLogRow(dir.path / "brak" / "x.csv", 2, kMoment, sampleSnapshot()));
}

TEST(MeasurementLog, ResultsFileNameIsWindows1250) {
    MonitorSettings settings;
    settings.resultsFile = W("pomiary_łódź.csv");
    EXPECT_EQ(logFilePath(settings), std::filesystem::path("pomiary_łódź.csv"));
}
