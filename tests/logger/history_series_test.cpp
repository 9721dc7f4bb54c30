#include <gtest/gtest.h>

#include <fstream>

#include "common/win1250.h"
#include "logger/chart/history_series.h"
#include "support/temp_folder.h"

namespace kavrel::logger {
namespace {

std::filesystem::path writeFile(const std::filesystem::path& folder, const std::string& text) {
    const auto path = folder / "historia.csv";
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

TEST(HistorySeries, TakesTheLineColumnsOfTheSemicolonFormWithTheFullStatus) {
    testing::TempFolder folder;
    const std::string text = W(
        "Lp;Czas RTC;L1 [V];Zbiornik;LOW;HIGH;Wyjścia;GSM;Roaming;SMS;E-mail;Alarmowy;Czuwanie;Flagi;Stan_XL;Poprawność;XL1;XL2\r\n"
        "1;2025-03-07  0:00:05;12,345;45%;1 3 ;;1 ;14;0;0;0;1;1;3;255;1;-2,5;7\r\n"
        "2;2025-03-07  0:15:05;12,400;46%;;;;14;0;0;0;0;1;2;255;1\r\n"       // an extended record without values
        "3;zepsuty;1;2;;;;14;0;0;0;0;1;2;255;1\r\n");                          // no time: no row
    HistoryData data;
    ASSERT_EQ(readHistorySeries(writeFile(folder.path, text), data), HistoryReadResult::Ok);
    ASSERT_EQ(data.times.size(), 2u);
    EXPECT_EQ(data.times[1].minute, 15);
    ASSERT_EQ(data.series.size(), 4u);
    EXPECT_EQ(data.series[0].name, "L1 [V]");
    EXPECT_EQ(data.series[1].name, "Zbiornik");
    EXPECT_EQ(data.series[2].name, "XL1");
    EXPECT_DOUBLE_EQ(*data.series[0].values[0], 12.345);
    EXPECT_DOUBLE_EQ(*data.series[1].values[1], 46);
    EXPECT_DOUBLE_EQ(*data.series[2].values[0], -2.5);
    EXPECT_FALSE(data.series[3].values[1].has_value());
}

TEST(HistorySeries, ReadsTheCommaFormWithTheReducedStatusAndRefusesOtherFiles) {
    testing::TempFolder folder;
    HistoryData data;
    ASSERT_EQ(readHistorySeries(writeFile(folder.path, W("Lp,Czas RTC,T2 [°C],GSM,SMS,Alarmowy,Poprawność\r\n"
                                                         "9,2025-03-07 10:00:05,-20.0,14,0,0,1\r\n")),
                                data),
              HistoryReadResult::Ok);
    ASSERT_EQ(data.series.size(), 1u);
    EXPECT_EQ(data.series[0].name, W("T2 [°C]"));
    EXPECT_DOUBLE_EQ(*data.series[0].values[0], -20.0);

    EXPECT_EQ(readHistorySeries(writeFile(folder.path, "Lp;Czas RTC;GSM;SMS;Alarmowy;" + W("Poprawność") + "\r\n"), data),
              HistoryReadResult::NoRows);
    EXPECT_EQ(readHistorySeries(writeFile(folder.path, "<HTML>\r\n"), data), HistoryReadResult::NotHistory);
    EXPECT_EQ(readHistorySeries(folder.path / "brak.csv", data), HistoryReadResult::CannotOpen);
    EXPECT_FALSE(historyValue("12,3x", true).has_value());
    EXPECT_DOUBLE_EQ(*historyValue("12,3", true), 12.3);
}

} // namespace
} // namespace kavrel::logger
