// Draws a chart with QPainter on any paint device (a window, an image, a PDF page): the
// title, the legend inside the picture, one value axis per unit scaled to its own lines
// (the first on the left, the next on the right, and so on), the time axis with wall-clock
// marks, the lines reduced per pixel column, LOW/HIGH marks. QtGui only, so that the
// command-line tool draws the same pictures without the widgets.
#pragma once

#include <QColor>
#include <QIODevice>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>
#include <vector>

#include "common/chart/chart_data.h"
#include "common/chart/chart_ticks.h"
#include "common/chart/column_reduction.h"

class QPainter;

namespace kavrel::ui {

// Series i's colour and dash pattern: 24 distinct colours, six patterns, so that two lines
// also differ without colour.
QColor seriesColour(std::size_t index);
QVector<qreal> seriesDashes(std::size_t index);   // empty: a solid line
inline const QColor kLowMarkColour{0x00, 0x40, 0xff};
inline const QColor kHighMarkColour{0xe0, 0x00, 0x00};

class ChartPainter {
public:
    void setData(ChartData data);
    const ChartData& data() const { return data_; }
    void setSeriesShown(std::size_t index, bool shown);
    // One line drawn bold and on top, the others pale (-1: none), to follow it alone.
    void setHighlighted(int index) { highlighted_ = index; }
    int highlighted() const { return highlighted_; }

    // The span shown; the whole range until set otherwise.
    TimeSpan view() const { return view_; }
    TimeSpan whole() const { return whole_; }
    void setView(TimeSpan span);

    // Draws everything into `rect` (logical pixels of the device).
    void paint(QPainter& painter, const QRectF& rect);

    // Where the last paint put the plot, and the time under an x position within it.
    const QRectF& plotRect() const { return plot_; }
    WallMs timeAt(double x) const;
    // The time axis's marks for the last paint's plot; none while no line has a point (an
    // empty chart has no time of its own to label).
    std::vector<TimeTick> timeMarks() const;

    // The sample drawn nearest to `pos` (within `reach` pixels), from the last paint.
    struct Hit {
        int series = -1;
        std::size_t sample = 0;
        QPointF at;
    };
    Hit nearest(QPointF pos, double reach) const;
    // The read-out of a sample: the line, its time and its value with the unit.
    QString readout(const Hit& hit) const;

    // The picture as `size` logical pixels at `pixelRatio` device pixels each.
    QImage image(QSize size, qreal pixelRatio = 1.0);
    // The files replace an older one of that name only once they are whole on the disk.
    bool writePng(const QString& path, QSize size, qreal pixelRatio = 1.0);
    // A one-page vector PDF of the picture, the page `size` points large.
    bool writePdf(const QString& path, QSize size);
    bool drawPdf(QIODevice& device, QSize size);

private:
    struct Axis {
        std::string group;
        ValueScale scale;
        bool left = true;
        double width = 0;
    };
    struct LegendEntry {
        QString label;
        int series = -1;   // -1: the entry of a mark
        SampleMark mark = SampleMark::None;
        double width = 0;
    };
    double yOf(std::size_t series, double value) const;
    void layOut(QPainter& painter, const QRectF& rect);
    // The phases of paint, in their order; each after layOut.
    void paintTitle(QPainter& painter, const QRectF& rect);
    void paintGridAndTimeMarks(QPainter& painter);
    void paintValueAxes(QPainter& painter);
    void reduceToPlot();
    void paintLines(QPainter& painter, bool cosmetic);
    void paintLegend(QPainter& painter);

    ChartData data_;
    std::vector<WallMs> gaps_;   // per series
    std::vector<RangeIndex> rangeIndex_;   // per series
    std::vector<SamplePyramid> pyramids_;  // per series, built once per load
    int highlighted_ = -1;
    TimeSpan whole_, view_;
    // Set by the last paint:
    AxisGroups groups_;
    std::vector<Axis> axes_;
    QRectF plot_;
    QRectF legend_;
    std::vector<LegendEntry> legendEntries_;
    // The reduced lines of the last paint, kept while the view and the width are the same.
    std::vector<ReducedSeries> reduced_;
    TimeSpan reducedView_;
    double reducedWidth_ = -1;
    std::vector<bool> reducedShown_;
    struct SeriesRange {
        double low = 0, high = 0;
        bool any = false;
    };
    std::vector<SeriesRange> seriesRanges_;
    TimeSpan rangesView_;
};

} // namespace kavrel::ui
