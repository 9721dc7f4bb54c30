#include <gtest/gtest.h>

#include <fstream>
#include <set>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "common/win1250.h"
#include "logger/chart/history_chart.h"
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

TEST(HistorySeries, RefusesFifosAndBoundsWhatItReads) {
    testing::TempFolder folder;
    HistoryData data;
#ifndef _WIN32
    const auto fifo = folder.path / "historia.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readHistorySeries(fifo, data), HistoryReadResult::NotRegular);   // at once, with no writer
#endif
    EXPECT_EQ(readHistorySeries(folder.path, data), HistoryReadResult::NotRegular);

    // A heading of ten thousand columns, and one of a hundred that fits the line limit.
    std::string wide = "Lp;Czas RTC", hundred = "Lp;Czas RTC";
    for (int i = 0; i < 10000; ++i) wide += ";L1 [V]";
    for (int i = 0; i < 100; ++i) hundred += ";L" + std::to_string(i);
    const std::string status = ";GSM;SMS;Alarmowy;" + W("Poprawność") + "\r\n1;2025-03-07  0:00:05;1\r\n";
    EXPECT_EQ(readHistorySeries(writeFile(folder.path, wide + status), data), HistoryReadResult::NotHistory);
    EXPECT_EQ(readHistorySeries(writeFile(folder.path, hundred + status), data), HistoryReadResult::NotHistory);
    // An overlong row is passed over, the rest is read.
    const std::string heading = "Lp;Czas RTC;L1 [V];GSM;SMS;Alarmowy;" + W("Poprawność") + "\r\n";
    ASSERT_EQ(readHistorySeries(writeFile(folder.path, heading + "1;2025-03-07  0:00:05;1" + std::string(20000, '0') +
                                                           "\r\n2;2025-03-07  0:15:05;2,5\r\n"
                                                           "3;2147483647-03-07  0:15:05;3\r\n"),
                                data),
              HistoryReadResult::Ok);
    ASSERT_EQ(data.times.size(), 1u);
    EXPECT_DOUBLE_EQ(*data.series[0].values[0], 2.5);
    std::atomic<bool> stop{true};
    std::string many = heading;
    for (int i = 0; i < 5000; ++i) many += "1;2025-03-07  0:00:05;1\r\n";
    EXPECT_EQ(parseHistorySeries(many, data, &stop), HistoryReadResult::Stopped);
    EXPECT_EQ(historyReadMessage(HistoryReadResult::NotRegular, "x.csv"), "x.csv nie jest zwykłym plikiem.");
}

TEST(HistoryChart, PutsEachKindOfLineOnItsAxisAndDrawsTheChosenLinesAndDays) {
    EXPECT_EQ(headingParts(W("T2 [°C]")).name, "T2");
    EXPECT_EQ(headingParts(W("T2 [°C]")).unit, "°C");
    EXPECT_EQ(headingParts("U4 []").unit, "");
    EXPECT_EQ(headingParts("U4 []").group, headingParts("U5 []").group);
    EXPECT_NE(headingParts("U4 []").group, headingParts("XL1").group);
    EXPECT_EQ(headingParts("XL12").group, headingParts("XL1").group);
    // Each quantity of the energy meter on an axis of its own; the meter's mains voltage apart
    // from the input lines' volts.
    std::set<std::string> meterGroups;
    for (const char* heading : {"U [V]", "I [A]", "f [Hz]", "P [W]", "S [VA]", "cos fi", "kWh", "Wh"})
        meterGroups.insert(headingParts(heading).group);
    EXPECT_EQ(meterGroups.size(), 8u);
    EXPECT_EQ(meterGroups.count(headingParts("L1 [V]").group), 0u);
    EXPECT_EQ(headingParts("P [W]").name, "P");
    EXPECT_EQ(headingParts("P [W]").unit, "W");
    EXPECT_EQ(headingParts("cos fi").unit, "");
    EXPECT_EQ(headingParts(W("Zbiornik wody")).name, "Zbiornik wody");

    HistoryData history;
    history.times = {{2025, 3, 8, 0, 0, 5}, {2025, 3, 7, 23, 45, 5}, {2025, 3, 9, 0, 0, 5}, {2025, 3, 8, 23, 59, 59}};
    history.series = {{"L1 [V]", {1.0, 2.0, 3.0, 4.0}}, {"XL1", {std::nullopt, 7.0, 8.0, std::nullopt}}};
    std::vector<std::string> missing;
    const ::kavrel::ui::ChartData all = historyChart(history, "tytu\u0142", {}, missing);
    ASSERT_EQ(all.series.size(), 2u);
    // In time order (a clock set back), rows without the line's value left out.
    EXPECT_EQ(all.series[0].values, (std::vector<double>{2, 1, 4, 3}));
    EXPECT_EQ(all.series[1].values, (std::vector<double>{7, 8}));
    EXPECT_TRUE(missing.empty());

    HistoryChartChoice choice;
    choice.lines = {"XL1", "T9"};
    choice.from = LocalDateTime{2025, 3, 8};
    choice.to = LocalDateTime{2025, 3, 8};
    const ::kavrel::ui::ChartData chosen = historyChart(history, "", choice, missing);
    EXPECT_EQ(missing, (std::vector<std::string>{"T9"}));
    ASSERT_EQ(chosen.series.size(), 1u);
    EXPECT_EQ(chosen.series[0].name, "XL1");
    EXPECT_TRUE(chosen.series[0].values.empty());   // 8 March has no XL1 value
    choice.lines = {"L1"};
    EXPECT_EQ(historyChart(history, "", choice, missing).series[0].values, (std::vector<double>{1, 4}));
}

} // namespace

TEST(HistoryChart, WithoutAChoiceDrawsTheLinesThatVaryAtMostEight) {
    HistoryData history;
    history.times.resize(3);
    // L1 and XL3 stay the same, U4 has one value only; the rest move.
    history.series = {{"L1 [V]", {12.0, 12.0, 12.0}}, {"T2 [\xB0" "C]", {1.0, 2.0, 1.0}}, {"U4 []", {std::nullopt, 5.0, std::nullopt}},
                      {"XL1", {std::nullopt, 1.0, 2.0}}, {"XL3", {0.0, 0.0, std::nullopt}}};
    EXPECT_EQ(defaultChartLines(history), (std::vector<std::string>{"T2", "XL1"}));
    for (int n = 0; n < 10; ++n) history.series.push_back({"XL" + std::to_string(n + 4), {0.0, 1.0 * n + 1, 0.0}});
    const std::vector<std::string> eight = defaultChartLines(history);
    ASSERT_EQ(eight.size(), 8u);
    EXPECT_EQ(eight.front(), "T2");
    EXPECT_EQ(eight.back(), "XL9");
    // Nothing varies: the first lines of the file.
    HistoryData still;
    still.times.resize(2);
    still.series = {{"L1 [V]", {1.0, 1.0}}, {"L2 [V]", {2.0, 2.0}}};
    EXPECT_EQ(defaultChartLines(still), (std::vector<std::string>{"L1", "L2"}));
}

} // namespace kavrel::logger
