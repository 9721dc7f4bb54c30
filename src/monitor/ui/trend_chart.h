// The live trend below the monitor's bars: L1..L8 over the polling run, one line per input
// named as in the settings, one value axis per unit (V, °C, %), LOW and HIGH readings marked
// with their legend entries, a break in polling drawn as a gap. The last hour is kept in a
// TrendBuffer; each line can be shown or hidden, and the chart saved as a PNG or PDF.
#pragma once

#include <QWidget>
#include <array>

#include "common/chart/chart_data.h"
#include "monitor/monitor_settings.h"
#include "monitor/ui/trend_buffer.h"

class QCheckBox;

namespace kavrel::ui {
class ChartWidget;
}

namespace kavrel::monitor::ui {

class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(QWidget* parent = nullptr, std::size_t capacity = TrendBuffer::kHourOfPolls);

    // Line names, units and axes from the settings; the samples stay.
    void setLines(const MonitorSettings& settings);
    void addSample(const TrendSample& sample);
    void clear();

    const TrendBuffer& buffer() const { return buffer_; }
    kavrel::ui::ChartWidget* chart() const { return chart_; }
    // Writes the chart as it is shown to a PNG picture (a PDF page when the name ends in
    // ".pdf"); false when it cannot be written.
    bool savePicture(const QString& path);

private:
    void redraw();
    void chooseAndSave();

    TrendBuffer buffer_;
    kavrel::ui::ChartWidget* chart_;
    std::array<QCheckBox*, kInputLines> boxes_{};
    std::array<std::string, kInputLines> names_;   // UTF-8
    std::array<LineType, kInputLines> types_{};
};

// The chart of the samples in `buffer`: line i named names[i] in the unit of types[i],
// shown where shown[i]. Times become the wall clock of this computer.
kavrel::ui::ChartData trendChartData(const TrendBuffer& buffer, const std::array<std::string, kInputLines>& names,
                                     const std::array<LineType, kInputLines>& types,
                                     const std::array<bool, kInputLines>& shown);

} // namespace kavrel::monitor::ui
