#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "common/win1250.h"
#include "logger/print/print_period.h"
#include "logger/print/print_table.h"
#include "support/temp_folder.h"

namespace kavrel::logger {
namespace {

std::string lineOn(int y, int m, int d) {
    char text[64];
    std::snprintf(text, sizeof text, "17;%04d-%02d-%02d 12:00:05;12,345;1", y, m, d);
    return text;
}

struct PeriodCase {
    int period;
    int today[3];   // year, month, day
    int record[3];
    bool kept;
};

TEST(InPeriod, CountsBackAcrossMonthAndYearBoundaries) {
    const PeriodCase cases[] = {
        // A day on 1 March reaches 28 February (February always has 28 days), not the 27th.
        {0, {2025, 3, 1}, {2025, 2, 28}, true},
        {0, {2025, 3, 1}, {2025, 2, 27}, false},
        {0, {2024, 3, 1}, {2024, 2, 29}, true},     // 1 + 28 - 29 = 0
        {0, {2025, 3, 10}, {2025, 3, 9}, true},
        {0, {2025, 3, 10}, {2025, 3, 8}, false},
        {0, {2025, 3, 10}, {2025, 3, 30}, true},    // dated after today: kept
        // A week on 3 January reaches 27 December of the year before, not the 26th.
        {1, {2025, 1, 3}, {2024, 12, 27}, true},
        {1, {2025, 1, 3}, {2024, 12, 26}, false},
        {1, {2025, 1, 3}, {2023, 12, 30}, false},   // two years back
        {1, {2025, 2, 3}, {2024, 12, 30}, false},   // other year, not across one January
        {1, {2025, 3, 5}, {2025, 1, 30}, false},    // two months back
        // A month keeps all of this month and reaches into the last one by 31 days.
        {2, {2025, 3, 31}, {2025, 3, 1}, true},
        {2, {2025, 3, 15}, {2025, 2, 12}, true},    // 15 + 28 - 12 = 31
        {2, {2025, 3, 15}, {2025, 2, 11}, false},
        {2, {2025, 1, 10}, {2024, 12, 10}, true},   // 10 + 31 - 10 = 31
        // A quarter in February reaches November of the year before, not October.
        {3, {2025, 2, 10}, {2024, 11, 1}, true},
        {3, {2025, 2, 10}, {2024, 10, 31}, false},
        {3, {2025, 7, 10}, {2025, 4, 1}, true},
        {3, {2025, 7, 10}, {2025, 3, 31}, false},
        {3, {2025, 7, 10}, {2023, 12, 1}, false},
        // A year keeps this year and the months of the last one from this month on.
        {4, {2025, 3, 10}, {2025, 1, 1}, true},
        {4, {2025, 3, 10}, {2024, 3, 1}, true},
        {4, {2025, 3, 10}, {2024, 2, 28}, false},
        {4, {2025, 3, 10}, {2023, 12, 31}, false},
        // The whole memory, and any index outside 0..5, keep everything.
        {5, {2025, 3, 10}, {2001, 1, 1}, true},
        {9, {2025, 3, 10}, {2001, 1, 1}, true},
    };
    for (const PeriodCase& c : cases) {
        const std::string line = lineOn(c.record[0], c.record[1], c.record[2]);
        EXPECT_EQ(inPeriod(c.period, line, c.today[0], c.today[1], c.today[2]), c.kept)
            << "period " << c.period << " on " << c.today[0] << "-" << c.today[1] << "-" << c.today[2] << ": " << line;
    }
}

TEST(InPeriod, OnlyTheWholeMemoryKeepsLinesWithoutADate) {
    for (const char* line : {"", "Lp;Czas RTC", "17;xx", "17;2025-13-01 0:00:00"}) {
        EXPECT_TRUE(inPeriod(5, line, 2025, 3, 1)) << line;
        for (int period = 0; period < 5; ++period) EXPECT_FALSE(inPeriod(period, line, 2025, 3, 1)) << period << line;
    }
}

TEST(PrintPeriod, NamesOfTheDialogAndTheTitle) {
    EXPECT_EQ(periodButtonText(0), W("Ostatni dzień"));
    EXPECT_EQ(periodButtonText(5), W("Wszystkie dane"));
    EXPECT_EQ(periodButtonText(6), "");
    EXPECT_EQ(periodTitleName(1), W("ost. tydzień"));
    EXPECT_EQ(periodTitleName(5), W("cała zawartość pamięci"));
    EXPECT_EQ(printTitle(printReadTime({2025, 3, 7, 9, 5, 1}), 3),
              W("Historia wyników pomiarów (odczytano: 2025-03-07 9:05:01, wybrany zakres danych: ostatni kwartał)"));
}

class PrintFile : public ::testing::Test {
protected:
    std::filesystem::path write(const std::string& heading, int lines, const std::string& tail = "") {
        const auto path = folder.path / "kavrellogger_tmp.csv";
        std::ofstream out(path, std::ios::binary);
        out << heading << "\r\n";
        for (int i = 0; i < lines; ++i) out << 2 + i << ";2025-03-07 " << i % 24 << ":00:05;12,345;1\r\n";
        out << tail;
        return path;
    }
    testing::TempFolder folder;
    const LocalDateTime today{2025, 3, 7, 15, 0, 0};
};

TEST_F(PrintFile, FortyEightLinesFillOnePageAndFortyNineNeedTwo) {
    PrintTable table;
    ASSERT_EQ(readPrintTable(write("Lp;Czas RTC;L1 [V];GSM", 48), 0, today, table), PrintReadResult::Ok);
    EXPECT_EQ(table.heading, "Lp;Czas RTC;L1 [V];GSM");
    EXPECT_EQ(table.lines.size(), 48u);
    EXPECT_EQ(table.lines.front(), "2;2025-03-07 0:00:05;12,345;1");
    EXPECT_EQ(pageCount(table.lines.size()), 1);
    ASSERT_EQ(readPrintTable(write("Lp;Czas RTC", 49), 0, today, table), PrintReadResult::Ok);
    EXPECT_EQ(pageCount(table.lines.size()), 2);
    EXPECT_EQ(pageCount(96), 2);
    EXPECT_EQ(pageCount(97), 3);
}

TEST_F(PrintFile, KeepsThePeriodReadsLongLinesWholeAndSaysWhyNothingIsPrinted) {
    PrintTable table;
    const std::string old = "1;2024-01-01 0:00:05;1\r\n";
    const std::string longLine = "90;2025-03-07 23:00:05;" + std::string(400, '7') + "\r\n";
    ASSERT_EQ(readPrintTable(write("Lp;Czas RTC", 3, old + longLine), 0, today, table), PrintReadResult::Ok);
    ASSERT_EQ(table.lines.size(), 4u);    // the three of today and the long one, whole
    EXPECT_EQ(table.lines[3].size(), 23u + 400u);
    ASSERT_EQ(readPrintTable(write("Lp;Czas RTC", 3, old), 5, today, table), PrintReadResult::Ok);
    EXPECT_EQ(table.lines.size(), 4u);

    EXPECT_EQ(readPrintTable(write("Lp;Czas RTC", 0, old), 0, today, table), PrintReadResult::NoData);
    EXPECT_EQ(printReadMessage(PrintReadResult::NoData), W("Brak danych do wydruku"));
    EXPECT_EQ(readPrintTable(folder.path / "missing.csv", 5, today, table), PrintReadResult::CannotOpen);
    EXPECT_EQ(printReadMessage(PrintReadResult::CannotOpen), W("Błąd otwarcia pliku z historią pomiarów!"));
}

TEST(ColumnPositions, WidenByTheHeadingBeforeThem) {
    EXPECT_EQ(columnPositions("Lp;Czas RTC;L1 [V];GSM;SMS"), (std::vector<int>{0, 8, 36, 36 + 9 + 3, 48 + 4 + 3}));
    // A long line name (31 characters: 46 mm) pushes every following column on.
    const std::string name(31, 'Z');
    const std::vector<int> wide = columnPositions("Lp;Czas RTC;" + name + W(";T2 [°C];GSM"));
    EXPECT_EQ(wide[3], 36 + 46 + 3);
    EXPECT_EQ(wide[4], wide[3] + 10 + 3);   // 7 characters, 10 mm
    // Fields past the heading get columns of their own.
    EXPECT_EQ(columnPositions("Lp;Czas RTC", 4), (std::vector<int>{0, 8, 36, 51}));
    EXPECT_EQ(splitFields("1;;3"), (std::vector<std::string>{"1", "", "3"}));
}

TEST(FitColumns, KeepTheFixedPlacesWhereTextsFitThenMoveApartAndShrinkToThePage) {
    const std::vector<int> fixed = {0, 8, 36, 48, 55, 62};
    // Texts narrower than their columns on a wide page: the fixed places.
    FittedColumns fitted = fitColumns(fixed, {5, 20, 9, 4, 4, 4}, 190, 2);
    EXPECT_EQ(fitted.positions, (std::vector<double>{0, 8, 36, 48, 55, 62}));
    EXPECT_EQ(fitted.scale, 1.0);
    // The fourth column's values (9 mm) would run into the fifth (7 mm on): it moves to
    // 2 mm after them, and the columns after it keep their distances.
    fitted = fitColumns(fixed, {5, 20, 9, 9, 4, 4}, 190, 2);
    EXPECT_EQ(fitted.positions, (std::vector<double>{0, 8, 36, 48, 59, 66}));
    // The same table on a page 50 mm wide: the first three keep their places, the rest
    // shrink towards the third so that the last text (4 mm) ends at the margin.
    fitted = fitColumns(fixed, {5, 20, 9, 9, 4, 4}, 50, 2);
    const double scale = (50.0 - 36) / (66 + 4 - 36);
    EXPECT_DOUBLE_EQ(fitted.scale, scale);
    EXPECT_DOUBLE_EQ(fitted.positions[1], 8);
    EXPECT_DOUBLE_EQ(fitted.positions[2], 36);
    EXPECT_DOUBLE_EQ(fitted.positions[5] + 4 * scale, 50);
    // A six-digit record number (10 mm) would run into the time at 8 mm: the time moves to
    // 2 mm after it, and the columns after it keep their distances.
    fitted = fitColumns(fixed, {10, 20, 9, 4, 4, 4}, 190, 2);
    EXPECT_EQ(fitted.positions, (std::vector<double>{0, 12, 40, 52, 59, 66}));

    EXPECT_EQ(longestFields({"1;ab;c", "22;a", "3;abc;cd;e"}), (std::vector<std::string>{"22", "abc", "cd", "e"}));
}

} // namespace
} // namespace kavrel::logger
