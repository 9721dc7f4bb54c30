#include "common/qt/chart/chart_widget.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kavrel::ui {
namespace {

constexpr double kReach = 24;        // pixels within which a sample is read out
constexpr double kMinimumDrag = 5;   // a shorter drag is a click

} // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
    setToolTip(QStringLiteral("Zaznacz obszar myszą, aby go powiększyć; prawy przycisk pomniejsza."));
}

void ChartWidget::setData(ChartData data, bool keepView) {
    const TimeSpan view = painter_.view();
    painter_.setData(std::move(data));
    if (keepView && !zooms_.empty()) painter_.setView(view);
    else zooms_.clear();
    update();
}

void ChartWidget::setSeriesShown(std::size_t index, bool shown) {
    painter_.setSeriesShown(index, shown);
    update();
}

void ChartWidget::setHighlighted(int index) {
    painter_.setHighlighted(index);
    update();
}

void ChartWidget::zoomTo(TimeSpan span) {
    zooms_.push_back(painter_.view());
    painter_.setView(span);
    update();
    emit viewChanged();
}

void ChartWidget::zoomOut() {
    if (zooms_.empty()) return;
    painter_.setView(zooms_.back());
    zooms_.pop_back();
    update();
    emit viewChanged();
}

void ChartWidget::resetZoom() {
    zooms_.clear();
    painter_.setView(painter_.whole());
    update();
    emit viewChanged();
}

QString ChartWidget::readoutAt(QPointF pos) {
    if (painter_.plotRect().isEmpty()) picture();   // lays the chart out
    return painter_.readout(painter_.nearest(pos, kReach));
}

QImage ChartWidget::picture() { return painter_.image(size(), devicePixelRatioF()); }

bool ChartWidget::savePng(const QString& path) { return painter_.writePng(path, size(), devicePixelRatioF()); }

bool ChartWidget::savePdf(const QString& path) { return painter_.writePdf(path, size()); }

void ChartWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter_.paint(painter, QRectF(rect()));
    const QRectF plot = painter_.plotRect();
    if (dragging_) {
        const double left = std::clamp(std::min(dragFrom_, dragTo_), plot.left(), plot.right());
        const double right = std::clamp(std::max(dragFrom_, dragTo_), plot.left(), plot.right());
        painter.fillRect(QRectF(left, plot.top(), right - left, plot.height()), QColor(0x30, 0x70, 0xd0, 0x40));
        return;
    }
    if (!hovering_) return;
    const ChartPainter::Hit hit = painter_.nearest(hover_, kReach);
    if (hit.series < 0) return;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(seriesColour(static_cast<std::size_t>(hit.series)), 2));
    painter.setBrush(Qt::white);
    painter.drawEllipse(hit.at, 4, 4);
    const QString text = painter_.readout(hit);
    QFont font;
    font.setPixelSize(12);
    painter.setFont(font);
    const QRectF bounds = QFontMetricsF(font).boundingRect(QRectF(0, 0, 400, 100), Qt::AlignLeft, text).adjusted(-6, -4, 6, 4);
    QPointF at = hit.at + QPointF(12, 12);
    if (at.x() + bounds.width() > width()) at.setX(hit.at.x() - 12 - bounds.width());
    if (at.y() + bounds.height() > height()) at.setY(hit.at.y() - 12 - bounds.height());
    const QRectF box(at, bounds.size());
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(QColor(0xff, 0xff, 0xf0, 0xf0));
    painter.drawRoundedRect(box, 3, 3);
    painter.setPen(Qt::black);
    painter.drawText(box.adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, text);
}

void ChartWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        zoomOut();
        return;
    }
    if (event->button() == Qt::LeftButton && painter_.plotRect().contains(event->position())) {
        dragging_ = true;
        dragFrom_ = dragTo_ = event->position().x();
        update();
    }
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event) {
    hover_ = event->position();
    hovering_ = true;
    if (dragging_) dragTo_ = event->position().x();
    update();
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton) return;
    dragging_ = false;
    const QRectF plot = painter_.plotRect();
    const double left = std::clamp(std::min(dragFrom_, dragTo_), plot.left(), plot.right());
    const double right = std::clamp(std::max(dragFrom_, dragTo_), plot.left(), plot.right());
    if (right - left >= kMinimumDrag) zoomTo({painter_.timeAt(left), painter_.timeAt(right)});
    else update();
}

void ChartWidget::leaveEvent(QEvent*) {
    hovering_ = false;
    update();
}

} // namespace kavrel::ui
