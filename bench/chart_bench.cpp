// The chart's redraw cost, on the offscreen platform:
//   trendRedraw     one poll of the monitor's trend: the sample added, 8 lines x 720 samples
//                   rebuilt and drawn at 900 x 260 (limit 5 ms);
//   historyRedraw   the logger's history chart after loading, 24 lines x 100,000 samples,
//                   reduced and drawn at 1200 x 700 (limit 50 ms); each redraw is of a new
//                   span, so nothing drawn before is reused; /2 at two device pixels per
//                   point (a high-DPI screen);
//   historyReduce   the reduction alone of those 24 lines at 1200 columns, sample by sample
//                   (/0) and with the min/max pyramid built at load (/1);
//   historyRepaint  the same picture again (hover, expose), reusing the reduced lines.
// On the 2-core development machine, shared with other builds (so processor time, the wall
// clock counting other programs' turns): historyRedraw/1 30.6 ms before the pyramid, 25-27
// after; /2 52.4 ms before, 35-39 after the pyramid and the lines drawn without
// antialiasing at two device pixels a point; historyReduce 17.5-22 ms /0, 12.4-14 /1.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cmath>

#include "common/qt/chart/chart_painter.h"
#include "common/qt/chart/chart_widget.h"
#include "monitor/ui/trend_chart.h"

namespace {

using namespace kavrel;

ui::ChartData history(std::size_t lines, std::size_t samples) {
    ui::ChartData data;
    data.title = "Historia pomiarów";
    data.timeTitle = "Czas RTC";
    const char* units[] = {"V", "°C", "%", ""};
    for (std::size_t s = 0; s < lines; ++s) {
        ui::ChartSeries series;
        series.name = "L" + std::to_string(s + 1);
        series.unit = units[s % 4];
        series.times.resize(samples);
        series.values.resize(samples);
        for (std::size_t i = 0; i < samples; ++i) {
            series.times[i] = static_cast<ui::WallMs>(i) * 15 * ui::kMinuteMs;
            series.values[i] = std::sin(static_cast<double>(i) / 300.0 + static_cast<double>(s)) * 10 + static_cast<double>(s) +
                               static_cast<double>(i % 7) * 0.1;
        }
        data.series.push_back(std::move(series));
    }
    return data;
}

void trendRedraw(benchmark::State& state) {
    monitor::ui::TrendChart trend;
    trend.resize(900, 300);
    monitor::MeasurementSnapshot snapshot;
    snapshot.lineValue = {"12.34V", "-3.5\xB0" "C", "45%", "20.1\xB0" "C", "0.5V", "1V", "2V", "55%"};
    std::int64_t now = 1'700'000'000'000;
    for (int i = 0; i < 720; ++i) trend.addSample(monitor::ui::trendSample(now += 5000, snapshot));
    QImage image(900, 260, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        snapshot.highMask = static_cast<int>(now / 5000 % 3 == 0);
        trend.addSample(monitor::ui::trendSample(now += 5000, snapshot));
        QPainter painter(&image);
        trend.chart()->chartPainter().paint(painter, QRectF(0, 0, 900, 260));
    }
}
BENCHMARK(trendRedraw)->Unit(benchmark::kMillisecond);

// At 1 and 2 device pixels per point (a high-DPI screen).
void historyRedraw(benchmark::State& state) {
    const auto ratio = static_cast<int>(state.range(0));
    ui::ChartPainter chart;
    chart.setData(history(24, 100000));
    QImage image(1200 * ratio, 700 * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    const ui::TimeSpan whole = chart.whole();
    ui::WallMs trim = 0;
    for (auto _ : state) {
        chart.setView({whole.from, whole.to - (trim++ % 2) * ui::kMinuteMs});
        QPainter painter(&image);
        chart.paint(painter, QRectF(0, 0, 1200, 700));
    }
}
BENCHMARK(historyRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The reduction alone, of the 24 lines at 1200 columns: sample by sample (0) and with the
// pyramid built at load (1).
void historyReduce(benchmark::State& state) {
    const ui::ChartData data = history(24, 100000);
    std::vector<ui::SamplePyramid> pyramids;
    for (const ui::ChartSeries& series : data.series) pyramids.emplace_back(series);
    const ui::TimeSpan whole = ui::wholeSpan(data);
    const ui::WallMs gap = ui::gapThreshold(data, data.series[0]);
    ui::WallMs trim = 0;
    for (auto _ : state) {
        const ui::TimeSpan span{whole.from, whole.to - (trim++ % 2) * ui::kMinuteMs};
        for (std::size_t i = 0; i < data.series.size(); ++i)
            benchmark::DoNotOptimize(ui::reduceToColumns(data.series[i], span, 1200, gap, state.range(0) ? &pyramids[i] : nullptr));
    }
}
BENCHMARK(historyReduce)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void historyRepaint(benchmark::State& state) {
    ui::ChartPainter chart;
    chart.setData(history(24, 100000));
    QImage image(1200, 700, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        QPainter painter(&image);
        chart.paint(painter, QRectF(0, 0, 1200, 700));
    }
}
BENCHMARK(historyRepaint)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
