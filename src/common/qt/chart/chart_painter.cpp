#include "common/qt/chart/chart_painter.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPolygonF>
#include <algorithm>
#include <filesystem>
#include <string_view>
#include <array>
#include <cmath>

#include "common/chart/polish_format.h"
#include "common/qt/qt_path.h"
#include "common/replace_file.h"

namespace kavrel::ui {
namespace {

constexpr std::array<QRgb, 24> kColours = {
    0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f,
    0xbcbd22, 0x17becf, 0x393b79, 0x637939, 0x8c6d31, 0x843c39, 0x7b4173, 0x3182bd,
    0xe6550d, 0x31a354, 0x756bb1, 0x454545, 0x6baed6, 0xfd8d3c, 0x74c476, 0xce6dbd,
};

const QColor kText(0x20, 0x20, 0x20);
const QColor kGrid(0xe6, 0xe6, 0xe6);
const QColor kFrame(0x9a, 0x9a, 0x9a);

constexpr double kMargin = 8;
constexpr double kLegendRow = 18;
constexpr double kLegendSwatch = 26;
constexpr double kLineWidth = 1.0;
constexpr double kMarkSize = 4.5;

QFont chartFont(double pixels, bool bold = false) {
    QFont font;
    font.setPixelSize(static_cast<int>(pixels));
    font.setBold(bold);
    return font;
}

QString text(const std::string& utf8) { return QString::fromStdString(utf8); }

// A line of series `index`. On pixels the pen is cosmetic, one device pixel wide whatever
// the scale: Qt's rasteriser draws such lines directly, while a pen wider than a device
// pixel (any pen on a high-DPI screen) is turned into outlines first, a hundred times
// slower over thousands of points. On a PDF page the line is a vector of its own width.
QPen seriesPen(std::size_t index, bool cosmetic) {
    QPen pen(seriesColour(index), kLineWidth);
    pen.setCosmetic(cosmetic);
    pen.setCapStyle(Qt::FlatCap);
    pen.setJoinStyle(Qt::BevelJoin);
    const QVector<qreal> dashes = seriesDashes(index);
    if (!dashes.isEmpty()) pen.setDashPattern(dashes);
    return pen;
}

void drawMark(QPainter& painter, QPointF at, SampleMark mark) {
    // HIGH points up, LOW points down: told apart without colour as well.
    const double s = kMarkSize;
    QPolygonF triangle;
    if (mark == SampleMark::High) triangle << QPointF(at.x(), at.y() - s) << QPointF(at.x() - s, at.y() + s * 0.7)
                                           << QPointF(at.x() + s, at.y() + s * 0.7);
    else triangle << QPointF(at.x(), at.y() + s) << QPointF(at.x() - s, at.y() - s * 0.7)
                  << QPointF(at.x() + s, at.y() - s * 0.7);
    painter.setPen(Qt::NoPen);
    painter.setBrush(mark == SampleMark::High ? kHighMarkColour : kLowMarkColour);
    painter.drawPolygon(triangle);
}

bool hasMark(const ChartSeries& series, SampleMark mark) {
    return std::find(series.marks.begin(), series.marks.end(), mark) != series.marks.end();
}

} // namespace

QColor seriesColour(std::size_t index) { return QColor(kColours[index % kColours.size()]); }

QVector<qreal> seriesDashes(std::size_t index) {
    switch (index % 6) {
    case 1: return {5, 2.5};
    case 2: return {1.2, 2};
    case 3: return {6, 2, 1.2, 2};
    case 4: return {10, 3};
    case 5: return {5, 2, 1.2, 2, 1.2, 2};
    default: return {};
    }
}

void ChartPainter::setData(ChartData data) {
    data_ = std::move(data);
    gaps_.clear();
    rangeIndex_.clear();
    pyramids_.clear();
    for (const ChartSeries& series : data_.series) {
        gaps_.push_back(gapThreshold(data_, series));
        rangeIndex_.emplace_back(series);
        pyramids_.emplace_back(series);
    }
    whole_ = wholeSpan(data_);
    if (whole_.length() <= 0) whole_ = {whole_.from - kMinuteMs / 2, whole_.to + kMinuteMs / 2};
    view_ = whole_;
    reducedWidth_ = -1;
    seriesRanges_.clear();
}

void ChartPainter::setSeriesShown(std::size_t index, bool shown) {
    if (index < data_.series.size()) data_.series[index].shown = shown;
}

void ChartPainter::setView(TimeSpan span) {
    // Never narrower than a second, never outside what there is to show.
    if (span.length() < kSecondMs) span = {span.from, span.from + kSecondMs};
    view_ = {std::max(span.from, whole_.from), std::min(span.to, whole_.to)};
    if (view_.length() <= 0) view_ = whole_;
}

std::vector<TimeTick> ChartPainter::timeMarks() const {
    const bool anyPoint = std::any_of(data_.series.begin(), data_.series.end(),
                                      [](const ChartSeries& series) { return !series.times.empty(); });
    if (!anyPoint) return {};
    return timeTicks(view_, std::max(2, static_cast<int>(plot_.width() / 90)));
}

WallMs ChartPainter::timeAt(double x) const {
    if (plot_.width() <= 0) return view_.from;
    return view_.from + static_cast<WallMs>(std::llround((x - plot_.left()) / plot_.width() * static_cast<double>(view_.length())));
}

double ChartPainter::yOf(std::size_t series, double value) const {
    const int axis = groups_.axisOf[series];
    const ValueScale& scale = axes_[static_cast<std::size_t>(axis)].scale;
    return plot_.bottom() - (value - scale.low) / (scale.high - scale.low) * plot_.height();
}

void ChartPainter::layOut(QPainter& painter, const QRectF& rect) {
    const QRectF inner = rect.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    double top = inner.top();
    if (!data_.title.empty()) top += 22;

    // The legend flows in rows across the top; its height decides the plot's.
    legendEntries_.clear();
    bool low = false, high = false;
    const QFontMetricsF legendMetrics(chartFont(12), painter.device());
    for (std::size_t i = 0; i < data_.series.size(); ++i) {
        if (!data_.series[i].shown) continue;
        const QString label = text(data_.series[i].label());
        legendEntries_.push_back({label, static_cast<int>(i), SampleMark::None,
                                  kLegendSwatch + 6 + legendMetrics.horizontalAdvance(label) + 14});
        low = low || hasMark(data_.series[i], SampleMark::Low);
        high = high || hasMark(data_.series[i], SampleMark::High);
    }
    if (low) legendEntries_.push_back({text(data_.lowMark), -1, SampleMark::Low, 16 + legendMetrics.horizontalAdvance(text(data_.lowMark)) + 14});
    if (high) legendEntries_.push_back({text(data_.highMark), -1, SampleMark::High, 16 + legendMetrics.horizontalAdvance(text(data_.highMark)) + 14});
    double x = 0, rows = legendEntries_.empty() ? 0 : 1;
    for (const LegendEntry& entry : legendEntries_) {
        if (x > 0 && x + entry.width > inner.width()) {
            x = 0;
            rows += 1;
        }
        x += entry.width;
    }
    legend_ = QRectF(inner.left(), top, inner.width(), rows * kLegendRow);
    top += legend_.height() + 6;

    const bool timeTitle = !data_.timeTitle.empty();
    const double bottom = inner.bottom() - 16 - 15 - (timeTitle ? 18 : 0);
    const double height = std::max(20.0, bottom - top);
    const int maxTicks = std::max(2, static_cast<int>(height / 34));

    groups_ = groupAxes(data_);
    axes_.clear();
    // Each line's extremes within the span, kept while the span is the same (repaints).
    if (!(rangesView_ == view_) || seriesRanges_.size() != data_.series.size()) {
        seriesRanges_.assign(data_.series.size(), SeriesRange{});
        for (std::size_t i = 0; i < data_.series.size(); ++i)
            seriesRanges_[i].any = rangeIndex_[i].range(data_.series[i], view_, seriesRanges_[i].low, seriesRanges_[i].high);
        rangesView_ = view_;
    }
    const QFontMetricsF tickMetrics(chartFont(11), painter.device());
    double leftWidth = 0, rightWidth = 0;
    for (std::size_t a = 0; a < groups_.groups.size(); ++a) {
        double low = 0, high = 0;
        bool any = false;
        for (std::size_t i = 0; i < data_.series.size(); ++i) {
            const SeriesRange& range = seriesRanges_[i];
            if (groups_.axisOf[i] != static_cast<int>(a) || !range.any) continue;
            low = any ? std::min(low, range.low) : range.low;
            high = any ? std::max(high, range.high) : range.high;
            any = true;
        }
        Axis axis;
        axis.group = groups_.groups[a];
        axis.scale = any ? valueScale(low, high, maxTicks) : valueScale(0, 1, maxTicks);
        axis.left = a % 2 == 0;
        double labels = 0;
        for (double tick : axis.scale.ticks)
            labels = std::max(labels, tickMetrics.horizontalAdvance(text(polishNumber(tick, axis.scale.decimals))));
        axis.width = labels + 10 + (axisTitle(data_, axis.group).empty() ? 0 : 18);
        (axis.left ? leftWidth : rightWidth) += axis.width;
        axes_.push_back(std::move(axis));
    }
    if (axes_.empty()) leftWidth = 30;
    rightWidth = std::max(rightWidth, 24.0);   // room for the last time label
    plot_ = QRectF(inner.left() + leftWidth, top, std::max(20.0, inner.width() - leftWidth - rightWidth), height);
}

void ChartPainter::paint(QPainter& painter, const QRectF& rect) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(rect, Qt::white);
    const bool cosmetic = painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster;
    layOut(painter, rect);
    paintTitle(painter, rect);
    paintGridAndTimeMarks(painter);
    paintValueAxes(painter);
    reduceToPlot();
    paintLines(painter, cosmetic);
    paintLegend(painter);
    painter.restore();
}

void ChartPainter::paintTitle(QPainter& painter, const QRectF& rect) {
    if (!data_.title.empty()) {
        painter.setFont(chartFont(14, true));
        painter.setPen(kText);
        painter.drawText(QRectF(rect.left() + kMargin, rect.top() + kMargin, rect.width() - 2 * kMargin, 20),
                         Qt::AlignHCenter | Qt::AlignVCenter, text(data_.title));
    }
}

// The grid, the frame, and the time marks with their dates below the plot.
void ChartPainter::paintGridAndTimeMarks(QPainter& painter) {
    const std::vector<TimeTick> ticks = timeMarks();
    auto xOf = [this](WallMs t) {
        return plot_.left() + static_cast<double>(t - view_.from) / static_cast<double>(view_.length()) * plot_.width();
    };
    painter.setPen(QPen(kGrid, 1));
    for (const TimeTick& tick : ticks) painter.drawLine(QPointF(xOf(tick.at), plot_.top()), QPointF(xOf(tick.at), plot_.bottom()));
    if (!axes_.empty())
        for (double value : axes_[0].scale.ticks) {
            const double y = plot_.bottom() - (value - axes_[0].scale.low) / (axes_[0].scale.high - axes_[0].scale.low) * plot_.height();
            painter.drawLine(QPointF(plot_.left(), y), QPointF(plot_.right(), y));
        }
    painter.setPen(QPen(kFrame, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot_);

    painter.setFont(chartFont(11));
    painter.setPen(kText);
    double lastRight = -1e9, lastDateRight = -1e9;
    const QFontMetricsF tickMetrics(painter.font(), painter.device());
    for (const TimeTick& tick : ticks) {
        const double x = xOf(tick.at);
        const QString label = text(tick.label);
        const double w = tickMetrics.horizontalAdvance(label);
        if (x - w / 2 < lastRight + 6) continue;
        painter.drawLine(QPointF(x, plot_.bottom()), QPointF(x, plot_.bottom() + 4));
        painter.drawText(QRectF(x - w / 2 - 2, plot_.bottom() + 4, w + 4, 14), Qt::AlignCenter, label);
        lastRight = x + w / 2;
        if (!tick.dateLabel.empty()) {
            const QString date = text(tick.dateLabel);
            const double dw = tickMetrics.horizontalAdvance(date);
            if (x - dw / 2 >= lastDateRight + 6) {
                painter.drawText(QRectF(x - dw / 2 - 2, plot_.bottom() + 18, dw + 4, 14), Qt::AlignCenter, date);
                lastDateRight = x + dw / 2;
            }
        }
    }
    if (!data_.timeTitle.empty())
        painter.drawText(QRectF(plot_.left(), plot_.bottom() + 33, plot_.width(), 16), Qt::AlignCenter, text(data_.timeTitle));
}

// The value axes, outward from the plot on both sides.
void ChartPainter::paintValueAxes(QPainter& painter) {
    painter.setFont(chartFont(11));
    const QFontMetricsF tickMetrics(painter.font(), painter.device());
    double leftAt = plot_.left(), rightAt = plot_.right();
    for (const Axis& axis : axes_) {
        const double at = axis.left ? leftAt : rightAt;
        const double sign = axis.left ? -1 : 1;
        painter.setPen(kFrame);
        painter.drawLine(QPointF(at, plot_.top()), QPointF(at, plot_.bottom()));
        painter.setPen(kText);
        for (double value : axis.scale.ticks) {
            const double y = plot_.bottom() - (value - axis.scale.low) / (axis.scale.high - axis.scale.low) * plot_.height();
            painter.drawLine(QPointF(at, y), QPointF(at + sign * 4, y));
            const QString label = text(polishNumber(value, axis.scale.decimals));
            const double w = tickMetrics.horizontalAdvance(label);
            const QRectF box(axis.left ? at - 6 - w - 2 : at + 6, y - 7, w + 2, 14);
            painter.drawText(box, (axis.left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, label);
        }
        const QString title = text(axisTitle(data_, axis.group));
        if (!title.isEmpty()) {
            painter.save();
            const double x = axis.left ? at - axis.width + 8 : at + axis.width - 8;
            painter.translate(x, plot_.center().y());
            painter.rotate(axis.left ? -90 : 90);
            painter.drawText(QRectF(-plot_.height() / 2, -8, plot_.height(), 16), Qt::AlignCenter, title);
            painter.restore();
        }
        (axis.left ? leftAt : rightAt) += sign * axis.width;
    }
}

// The lines, reduced to the plot's width (kept while neither changes).
void ChartPainter::reduceToPlot() {
    std::vector<bool> shown;
    for (const ChartSeries& series : data_.series) shown.push_back(series.shown);
    if (!(reducedView_ == view_) || reducedWidth_ != plot_.width() || reducedShown_ != shown ||
        reduced_.size() != data_.series.size()) {
        reduced_.assign(data_.series.size(), ReducedSeries{});
        for (std::size_t i = 0; i < data_.series.size(); ++i)
            if (data_.series[i].shown)
                reduced_[i] = reduceToColumns(data_.series[i], view_, plot_.width(), gaps_[i], &pyramids_[i]);
        reducedView_ = view_;
        reducedWidth_ = plot_.width();
        reducedShown_ = shown;
    }
}

void ChartPainter::paintLines(QPainter& painter, bool cosmetic) {
    painter.save();
    painter.setClipRect(plot_.adjusted(-kMarkSize, -kMarkSize, kMarkSize, kMarkSize));
    // At two device pixels a point and more the lines go without antialiasing: a step is half
    // a logical pixel there, hardly seen, and the rasteriser's plain path costs a fraction of
    // the blended one over the thousands of segments of a long history.
    if (cosmetic && painter.device() && painter.device()->devicePixelRatioF() >= 2)
        painter.setRenderHint(QPainter::Antialiasing, false);
    bool anyDrawn = false;
    QPolygonF polyline;
    auto drawSeries = [&](std::size_t i, bool pale, bool bold) {
        QPen pen = seriesPen(i, cosmetic);
        if (pale) pen.setColor(QColor::fromHsvF(pen.color().hsvHueF(), 0.25, 0.95));
        for (const std::vector<PlotPoint>& stroke : reduced_[i].strokes) {
            anyDrawn = true;
            if (stroke.size() == 1) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(pen.color());
                painter.drawEllipse(QPointF(plot_.left() + stroke[0].x, yOf(i, stroke[0].value)), bold ? 3.5 : 2.5,
                                    bold ? 3.5 : 2.5);
                continue;
            }
            polyline.resize(static_cast<qsizetype>(stroke.size()));
            for (std::size_t p = 0; p < stroke.size(); ++p)
                polyline[static_cast<qsizetype>(p)] = QPointF(plot_.left() + stroke[p].x, yOf(i, stroke[p].value));
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPolyline(polyline);
            if (bold) {
                // Thin pens take the fast way through the rasteriser; a wide one would cost
                // a hundred times more: the bold line is the thin one drawn thrice.
                polyline.translate(0.8, 0);
                painter.drawPolyline(polyline);
                polyline.translate(-0.8, 0.8);
                painter.drawPolyline(polyline);
            }
        }
    };
    const bool highlighting = highlighted_ >= 0 && static_cast<std::size_t>(highlighted_) < data_.series.size() &&
                              data_.series[static_cast<std::size_t>(highlighted_)].shown;
    for (std::size_t i = 0; i < data_.series.size(); ++i)
        if (data_.series[i].shown && !(highlighting && static_cast<int>(i) == highlighted_)) drawSeries(i, highlighting, false);
    if (highlighting) drawSeries(static_cast<std::size_t>(highlighted_), false, true);
    for (std::size_t i = 0; i < data_.series.size(); ++i)
        if (data_.series[i].shown)
            for (const MarkPoint& mark : reduced_[i].marks)
                drawMark(painter, QPointF(plot_.left() + mark.x, yOf(i, mark.value)), mark.mark);
    painter.restore();
    if (!anyDrawn) {
        painter.setPen(kText);
        painter.setFont(chartFont(13));
        painter.drawText(plot_, Qt::AlignCenter, QStringLiteral("Brak danych"));
    }
}

// The legend: a sample of each shown line with its name and unit, then the marks.
void ChartPainter::paintLegend(QPainter& painter) {
    painter.setFont(chartFont(12));
    double x = legend_.left(), y = legend_.top();
    for (const LegendEntry& entry : legendEntries_) {
        if (x > legend_.left() && x + entry.width > legend_.right()) {
            x = legend_.left();
            y += kLegendRow;
        }
        const double middle = y + kLegendRow / 2;
        double textAt = x + kLegendSwatch + 6;
        if (entry.series >= 0) {
            QPen pen = seriesPen(static_cast<std::size_t>(entry.series), false);
            pen.setWidthF(2);   // a short sample: wide enough to show its colour and dashes
            painter.setPen(pen);
            painter.drawLine(QPointF(x, middle), QPointF(x + kLegendSwatch, middle));
        } else {
            drawMark(painter, QPointF(x + 6, middle), entry.mark);
            textAt = x + 16;
        }
        painter.setPen(kText);
        painter.setFont(chartFont(12, entry.series >= 0 && entry.series == highlighted_));
        painter.drawText(QRectF(textAt, y, entry.width, kLegendRow), Qt::AlignLeft | Qt::AlignVCenter, entry.label);
        x += entry.width;
    }
}

ChartPainter::Hit ChartPainter::nearest(QPointF pos, double reach) const {
    Hit best;
    if (plot_.width() <= 0 || groups_.axisOf.size() != data_.series.size()) return best;
    double bestDistance = reach * reach;
    const WallMs from = timeAt(pos.x() - reach), to = timeAt(pos.x() + reach);
    for (std::size_t s = 0; s < data_.series.size(); ++s) {
        const ChartSeries& series = data_.series[s];
        if (!series.shown || groups_.axisOf[s] < 0) continue;
        const std::size_t n = std::min(series.times.size(), series.values.size());
        const auto first = std::lower_bound(series.times.begin(), series.times.begin() + static_cast<std::ptrdiff_t>(n), from);
        const auto last = std::upper_bound(first, series.times.begin() + static_cast<std::ptrdiff_t>(n), to);
        for (auto t = first; t != last; ++t) {
            const std::size_t i = static_cast<std::size_t>(t - series.times.begin());
            if (!std::isfinite(series.values[i])) continue;
            const QPointF at(plot_.left() + static_cast<double>(*t - view_.from) / static_cast<double>(view_.length()) * plot_.width(),
                             yOf(s, series.values[i]));
            const double dx = at.x() - pos.x(), dy = at.y() - pos.y();
            if (dx * dx + dy * dy < bestDistance && plot_.adjusted(-1, -1, 1, 1).contains(at)) {
                bestDistance = dx * dx + dy * dy;
                best = {static_cast<int>(s), i, at};
            }
        }
    }
    return best;
}

QString ChartPainter::readout(const Hit& hit) const {
    if (hit.series < 0) return {};
    const ChartSeries& series = data_.series[static_cast<std::size_t>(hit.series)];
    QString value = text(polishReading(series.values[hit.sample]));
    if (!series.unit.empty()) value += QLatin1Char(' ') + text(series.unit);
    return text(series.name) + QLatin1Char('\n') + text(polishDateTime(series.times[hit.sample])) + QLatin1Char('\n') + value;
}

QImage ChartPainter::image(QSize size, qreal pixelRatio) {
    QImage picture(size * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    picture.setDevicePixelRatio(pixelRatio);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return picture;
}

namespace {

// The picture is made in memory and then written through a temporary file: a full disk
// never leaves a cut picture nor costs the older one of that name.
bool replaceWith(const QString& path, const QByteArray& bytes) {
    return replaceFile(pathFromQString(path),
                       std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))) == ReplaceResult::Ok;
}

} // namespace

bool ChartPainter::writePng(const QString& path, QSize size, qreal pixelRatio) {
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    return image(size, pixelRatio).save(&png, "PNG") && replaceWith(path, png.data());
}

bool ChartPainter::writePdf(const QString& path, QSize size) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    if (!drawPdf(pdf, size)) return false;
    return replaceWith(path, pdf.data());
}

bool ChartPainter::drawPdf(QIODevice& device, QSize size) {
    QPdfWriter writer(&device);
    writer.setResolution(72);   // one point per logical pixel
    writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return painter.end();
}

} // namespace kavrel::ui
