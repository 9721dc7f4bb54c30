// The live trend below the monitor's bars: L1..L8 over the polling run, one series per
// line in the line's unit and named as in the settings, lines of a type other than the
// most common one on a second axis, LOW and HIGH readings marked on their series. The last
// hour is kept in a TrendBuffer; each line can be shown or hidden, and the chart saved as
// a PNG picture.
#pragma once

#include <QWidget>
#include <array>

#include "monitor/monitor_settings.h"
#include "monitor/ui/trend_buffer.h"

class QCheckBox;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace kavrel::monitor::ui {

class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr, std::size_t capacity = TrendBuffer::kHourOfPolls);

    // Series names, units and axes from the settings; the samples stay.
    void setLines(const MonitorSettings& settings);
    void addSample(const TrendSample& sample);
    void clear();

    const TrendBuffer& buffer() const { return buffer_; }
    QLineSeries* series(int line) const { return series_[line]; }
    bool onSecondAxis(int line) const { return secondAxis_[line]; }
    // Writes the chart as it is shown to a PNG file; false when it cannot be written.
    bool savePicture(const QString& path);

private:
    void redraw();
    void chooseAndSave();

    TrendBuffer buffer_;
    QChart* chart_;
    QChartView* view_;
    QDateTimeAxis* timeAxis_;
    QValueAxis* mainAxis_;
    QValueAxis* secondValueAxis_;
    std::array<QLineSeries*, kInputLines> series_{};
    std::array<QCheckBox*, kInputLines> boxes_{};
    std::array<bool, kInputLines> secondAxis_{};
};

} // namespace kavrel::monitor::ui
