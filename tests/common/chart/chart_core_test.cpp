#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "common/chart/chart_data.h"
#include "common/chart/chart_ticks.h"
#include "common/chart/column_reduction.h"
#include "common/chart/polish_format.h"

namespace kavrel::ui {
namespace {

ChartSeries series(std::vector<WallMs> times, std::vector<double> values, std::string unit = "V") {
    ChartSeries s;
    s.name = "L1";
    s.unit = std::move(unit);
    s.times = std::move(times);
    s.values = std::move(values);
    return s;
}

// The pyramid only saves work: for lines broken by missing values and gaps, with marks and
// plateaus of equal values, any span and width, the reduction with it is the one without.
TEST(ColumnReduction, ThePyramidGivesExactlyTheSameLines) {
    std::mt19937 random(7);
    ChartSeries s = series({}, {});
    WallMs t = 0;
    for (int i = 0; i < 30000; ++i) {
        t += random() % 50 == 0 ? 40 * kSecondMs : kSecondMs;
        s.times.push_back(t);
        const int kind = static_cast<int>(random() % 400);
        s.values.push_back(kind == 0 ? kNoValue : kind < 100 ? 5.0 : std::sin(i / 300.0) * 10 + static_cast<double>(random() % 5));
        s.marks.push_back(kind == 1 ? SampleMark::High : kind == 2 ? SampleMark::Low : SampleMark::None);
    }
    const SamplePyramid pyramid(s);
    for (const double width : {37.0, 640.0, 1199.5, 5000.0})
        for (const TimeSpan span : {TimeSpan{0, t}, TimeSpan{t / 3, t / 3 + 3600 * kSecondMs}, TimeSpan{777 * kSecondMs, t - 5}}) {
            SCOPED_TRACE(std::to_string(width) + " " + std::to_string(span.from));
            for (const WallMs gap : {WallMs{0}, WallMs{3 * kSecondMs}}) {
                const ReducedSeries plain = reduceToColumns(s, span, width, gap), fast = reduceToColumns(s, span, width, gap, &pyramid);
                ASSERT_EQ(fast.strokes.size(), plain.strokes.size());
                for (std::size_t k = 0; k < plain.strokes.size(); ++k) {
                    ASSERT_EQ(fast.strokes[k].size(), plain.strokes[k].size()) << k;
                    for (std::size_t p = 0; p < plain.strokes[k].size(); ++p) {
                        EXPECT_EQ(fast.strokes[k][p].x, plain.strokes[k][p].x);
                        EXPECT_EQ(fast.strokes[k][p].value, plain.strokes[k][p].value);
                    }
                }
                ASSERT_EQ(fast.marks.size(), plain.marks.size());
                for (std::size_t m = 0; m < plain.marks.size(); ++m) EXPECT_EQ(fast.marks[m].x, plain.marks[m].x);
                EXPECT_EQ(fast.low, plain.low);
                EXPECT_EQ(fast.high, plain.high);
                EXPECT_EQ(fast.any, plain.any);
                if (::testing::Test::HasFailure()) return;
            }
        }
}

TEST(ColumnReduction, KeepsEveryColumnsExtremesAtAFixedCostPerPixel) {
    // 100,000 samples of a wave with one spike each way, onto 200 pixels.
    std::vector<WallMs> t;
    std::vector<double> v;
    for (int i = 0; i < 100000; ++i) {
        t.push_back(i * kSecondMs);
        v.push_back(std::sin(i / 500.0) * 10);
    }
    v[31234] = 90;
    v[77777] = -70;
    const ChartSeries s = series(t, v);
    const ReducedSeries reduced = reduceToColumns(s, {0, t.back()}, 200, 0);
    ASSERT_EQ(reduced.strokes.size(), 1u);
    EXPECT_LE(reduced.points(), 4u * 202);
    double low = 1e9, high = -1e9;
    for (const PlotPoint& p : reduced.strokes[0]) {
        low = std::min(low, p.value);
        high = std::max(high, p.value);
        EXPECT_GE(p.x, 0);
        EXPECT_LE(p.x, 200);
    }
    EXPECT_EQ(high, 90);
    EXPECT_EQ(low, -70);
    EXPECT_EQ(reduced.high, 90);
    // The block index gives the same extremes as every sample, for spans of any length.
    const RangeIndex index(s);
    for (const TimeSpan span : {TimeSpan{0, t.back()}, TimeSpan{31000 * kSecondMs, 31300 * kSecondMs},
                                TimeSpan{31235 * kSecondMs, 77777 * kSecondMs}, TimeSpan{5 * kSecondMs, 5 * kSecondMs}}) {
        double l1 = 0, h1 = 0, l2 = 0, h2 = 0;
        ASSERT_EQ(index.range(s, span, l1, h1), valueRange(s, span, l2, h2));
        EXPECT_EQ(l1, l2);
        EXPECT_EQ(h1, h2);
    }

    // Zoomed in on a few samples, they are drawn as they are, one beyond each edge.
    const ReducedSeries near = reduceToColumns(s, {10 * kSecondMs, 13 * kSecondMs}, 300, 0);
    ASSERT_EQ(near.strokes.size(), 1u);
    ASSERT_EQ(near.strokes[0].size(), 6u);
    EXPECT_DOUBLE_EQ(near.strokes[0][1].x, 0);
    EXPECT_DOUBLE_EQ(near.strokes[0][1].value, v[10]);
    // The line to a sample beyond the edge is cut at the edge.
    EXPECT_DOUBLE_EQ(near.strokes[0][0].x, -1);
    EXPECT_DOUBLE_EQ(near.strokes[0][0].value, v[10] + (v[9] - v[10]) / 100);
}

TEST(ColumnReduction, BreaksLinesAtMissingValuesAndLongStepsAndKeepsLonePoints) {
    // 5 s polls; a missing reading at 15 s; no polls between 25 s and 60 s.
    const ChartSeries s = series({0, 5000, 10000, 15000, 20000, 25000, 60000, 65000},
                                 {1, 2, 3, kNoValue, 5, 6, 7, 8});
    ChartData data;
    data.series = {s};
    const WallMs gap = gapThreshold(data, s);
    EXPECT_EQ(gap, 15000);
    const ReducedSeries reduced = reduceToColumns(s, {0, 65000}, 650, gap);
    ASSERT_EQ(reduced.strokes.size(), 3u);
    EXPECT_EQ(reduced.strokes[0].size(), 3u);
    EXPECT_EQ(reduced.strokes[1].size(), 2u);
    EXPECT_EQ(reduced.strokes[2].size(), 2u);

    // The first poll: one sample, drawn as a point.
    const ReducedSeries first = reduceToColumns(series({1000}, {12.5}), {0, 60000}, 600, 0);
    ASSERT_EQ(first.strokes.size(), 1u);
    EXPECT_EQ(first.strokes[0].size(), 1u);

    // Marks: at most one of each kind per column.
    ChartSeries marked = series({0, 1, 2, 3, 1000}, {1, 2, 3, 4, 5});
    marked.marks = {SampleMark::High, SampleMark::High, SampleMark::Low, SampleMark::None, SampleMark::Low};
    const ReducedSeries marks = reduceToColumns(marked, {0, 1000}, 10, 0);
    ASSERT_EQ(marks.marks.size(), 3u);
    EXPECT_EQ(marks.marks[0].mark, SampleMark::Low);
    EXPECT_EQ(marks.marks[1].mark, SampleMark::High);
    EXPECT_EQ(marks.marks[2].value, 5);
}

TEST(ChartTicks, ValueAxesStepRoundlyAndTimeAxesFallOnWallClockMoments) {
    const ValueScale volts = valueScale(11.93, 12.41, 6);
    EXPECT_DOUBLE_EQ(volts.step, 0.1);
    EXPECT_EQ(volts.decimals, 1);
    EXPECT_NEAR(volts.low, 11.9, 1e-9);
    EXPECT_NEAR(volts.high, 12.5, 1e-9);
    const ValueScale raw = valueScale(0, 12000, 5);
    EXPECT_DOUBLE_EQ(raw.step, 5000);
    EXPECT_EQ(raw.ticks.size(), 4u);
    EXPECT_LE(valueScale(-1e308, 1e308, 5).ticks.size(), 50u);
    const ValueScale one = valueScale(20, 20, 5);   // a single value gets room
    EXPECT_LT(one.low, 20);
    EXPECT_GT(one.high, 20);

    const WallMs nine = wallMs({2025, 3, 7, 9, 3, 20});
    const auto hour = timeTicks({nine, nine + kHourMs}, 8);
    ASSERT_FALSE(hour.empty());
    EXPECT_EQ(hour[0].label, "09:10");
    EXPECT_EQ(hour[0].dateLabel, "07.03.2025");
    EXPECT_EQ(hour[1].label, "09:20");
    EXPECT_EQ(hour[1].dateLabel, "");
    const auto minute = timeTicks({nine, nine + kMinuteMs}, 5);
    EXPECT_EQ(minute[0].label, "09:03:30");
    const auto nights = timeTicks({nine, nine + 3 * kDayMs}, 4);
    EXPECT_EQ(nights[0].label, "08.03");
    EXPECT_EQ(nights[0].dateLabel, "2025");
    const auto months = timeTicks({wallMs({2024, 11, 20}), wallMs({2025, 3, 2})}, 6);
    ASSERT_EQ(months.size(), 4u);
    EXPECT_EQ(months[0].label, "gru 2024");
    EXPECT_EQ(months[1].label, "sty 2025");
}

TEST(PolishFormat, WritesCommasSpacesAndDaysFirst) {
    EXPECT_EQ(polishNumber(-3.5, 2), "-3,50");
    EXPECT_EQ(polishNumber(-0.0001, 2), "0,00");
    EXPECT_EQ(polishNumber(12000, 0), "12\u00a0000");
    EXPECT_EQ(polishNumber(1234.5, 1), "1234,5");
    EXPECT_EQ(polishReading(12.4), "12,4");
    EXPECT_EQ(polishReading(-20), "-20");
    EXPECT_EQ(polishReading(-0.0004), "0");
    for (const WallDateTime t : {WallDateTime{2024, 2, 29, 23, 59, 59, 999}, WallDateTime{1969, 12, 31, 0, 0, 1},
                                 WallDateTime{2100, 3, 1}}) {
        const WallDateTime back = wallDateTime(wallMs(t));
        EXPECT_EQ(back.year, t.year);
        EXPECT_EQ(back.day, t.day);
        EXPECT_EQ(back.second, t.second);
        EXPECT_EQ(back.millisecond, t.millisecond);
    }
    EXPECT_EQ(polishDateTime(wallMs({2025, 3, 7, 0, 15, 5})), "07.03.2025 00:15:05");
}

TEST(ChartData, GivesEachUnitOrGroupOneAxisAmongTheShownLines) {
    ChartData data;
    data.series = {series({}, {}, "V"), series({}, {}, "°C"), series({}, {}, "V"), series({}, {}, "%"),
                   series({}, {}, "")};
    data.series[3].shown = false;
    data.series[4].group = "surowe";
    const AxisGroups groups = groupAxes(data);
    EXPECT_EQ(groups.groups, (std::vector<std::string>{"V", "°C", "surowe"}));
    EXPECT_EQ(groups.axisOf, (std::vector<int>{0, 1, 0, -1, 2}));
    data.axisTitles["V"] = "U [V]";
    EXPECT_EQ(axisTitle(data, "V"), "U [V]");
    EXPECT_EQ(axisTitle(data, "°C"), "[°C]");
}

} // namespace
} // namespace kavrel::ui
