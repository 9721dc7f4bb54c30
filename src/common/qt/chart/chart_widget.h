// The chart as a widget: the picture of a ChartPainter, a read-out of the sample nearest
// the mouse (its line, time and value with the unit), a span dragged with the left button
// zoomed into, the right button back to the span before, and the picture saved as PNG or
// PDF exactly as shown (without the read-out).
#pragma once

#include <QWidget>
#include <vector>

#include "common/qt/chart/chart_painter.h"

namespace kavrel::ui {

class ChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit ChartWidget(QWidget* parent = nullptr);

    // New data; the zoom is kept when `keepView` and the whole range still covers it.
    void setData(ChartData data, bool keepView = false);
    const ChartData& data() const { return painter_.data(); }
    void setSeriesShown(std::size_t index, bool shown);
    void setHighlighted(int index);

    TimeSpan view() const { return painter_.view(); }
    bool zoomed() const { return !zooms_.empty(); }
    void zoomTo(TimeSpan span);
    void zoomOut();     // back to the span before the last zoom
    void resetZoom();   // "Cały zakres"

    // The read-out of the sample nearest to a point of the widget; empty when none is near.
    QString readoutAt(QPointF pos);

    bool savePng(const QString& path);
    bool savePdf(const QString& path);
    QImage picture();

    ChartPainter& chartPainter() { return painter_; }

signals:
    void viewChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    ChartPainter painter_;
    std::vector<TimeSpan> zooms_;   // the spans zoomed out of, latest last
    bool dragging_ = false;
    double dragFrom_ = 0, dragTo_ = 0;
    QPointF hover_;
    bool hovering_ = false;
};

} // namespace kavrel::ui
