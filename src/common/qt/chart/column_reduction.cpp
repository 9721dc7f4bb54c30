#include "common/qt/chart/column_reduction.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace kavrel::ui {
namespace {

// The samples of `series` that a plot of `span` needs: those inside and one on each side.
void visibleRange(const ChartSeries& series, TimeSpan span, std::size_t& begin, std::size_t& end) {
    const auto& t = series.times;
    const std::size_t n = std::min(t.size(), series.values.size());
    begin = static_cast<std::size_t>(std::lower_bound(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n), span.from) - t.begin());
    end = static_cast<std::size_t>(std::upper_bound(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n), span.to) - t.begin());
    if (begin > 0) --begin;
    if (end < n) ++end;
}

// One pixel column's samples while they are being gathered.
struct Column {
    std::int64_t index = 0;
    int count = 0;
    PlotPoint raw[3];        // the first three samples, drawn as they are when there are no more
    PlotPoint low, high, last;
    int lowAt = 0, highAt = 0;   // which sample of the column was the lowest, the highest
    bool hasLow = false, hasHigh = false;
    MarkPoint lowMark, highMark;
};

// The samples just outside the plot may lie far beyond its edges (a year before a zoomed-in
// minute): the line to them is cut at the edge, a lone point out there is dropped, so that
// the painter only ever sees coordinates near the plot.
void trimToEdges(ReducedSeries& out, double width) {
    auto cut = [](PlotPoint& far, const PlotPoint& near, double edge) {
        if (far.x == near.x) return;
        far.value = near.value + (far.value - near.value) * (edge - near.x) / (far.x - near.x);
        far.x = edge;
    };
    std::vector<std::vector<PlotPoint>> kept;
    for (std::vector<PlotPoint>& stroke : out.strokes) {
        if (stroke.size() == 1) {
            if (stroke[0].x >= -1 && stroke[0].x <= width + 1) kept.push_back(std::move(stroke));
            continue;
        }
        if (stroke.front().x < -1) cut(stroke.front(), stroke[1], -1);
        if (stroke.back().x > width + 1) cut(stroke.back(), stroke[stroke.size() - 2], width + 1);
        kept.push_back(std::move(stroke));
    }
    out.strokes = std::move(kept);
    std::erase_if(out.marks, [width](const MarkPoint& m) { return m.x < -1 || m.x > width + 1; });
}

} // namespace

std::size_t ReducedSeries::points() const {
    std::size_t n = 0;
    for (const auto& stroke : strokes) n += stroke.size();
    return n;
}

ReducedSeries reduceToColumns(const ChartSeries& series, TimeSpan span, double width, WallMs gapAfter) {
    ReducedSeries out;
    if (span.to <= span.from || width <= 0) return out;
    std::size_t begin = 0, end = 0;
    visibleRange(series, span, begin, end);
    const double scale = width / static_cast<double>(span.length());
    const bool marked = series.marks.size() >= end;

    std::vector<PlotPoint>* stroke = nullptr;
    Column column;
    bool open = false;   // a column is being gathered
    auto flush = [&] {
        if (!open) return;
        std::vector<PlotPoint>& s = *stroke;
        if (column.count <= 3) {
            s.insert(s.end(), column.raw, column.raw + column.count);
        } else {
            // The envelope: in at the first sample, down and up (in the order they came), out
            // at the last.
            const double mid = static_cast<double>(column.index) + 0.5;
            const bool lowFirst = column.lowAt < column.highAt;
            s.push_back(column.raw[0]);
            s.push_back({mid, lowFirst ? column.low.value : column.high.value});
            s.push_back({mid, lowFirst ? column.high.value : column.low.value});
            s.push_back(column.last);
        }
        if (column.hasLow) out.marks.push_back(column.lowMark);
        if (column.hasHigh) out.marks.push_back(column.highMark);
        open = false;
    };

    WallMs previousTime = 0;
    bool previousValue = false;
    for (std::size_t i = begin; i < end; ++i) {
        const double v = series.values[i];
        const WallMs t = series.times[i];
        if (!std::isfinite(v)) {
            previousValue = false;
            continue;
        }
        const bool joined = previousValue && (gapAfter <= 0 || t - previousTime <= gapAfter);
        previousTime = t;
        previousValue = true;
        const double x = static_cast<double>(t - span.from) * scale;
        const auto index = static_cast<std::int64_t>(std::floor(x));
        if (!joined || !open || index != column.index) {
            flush();
            if (!joined || !stroke) {
                out.strokes.emplace_back();
                stroke = &out.strokes.back();
            }
            column = Column{};
            column.index = index;
            column.low = column.high = {x, v};
            open = true;
        } else {
            if (v < column.low.value) {
                column.low = {x, v};
                column.lowAt = column.count;
            }
            if (v > column.high.value) {
                column.high = {x, v};
                column.highAt = column.count;
            }
        }
        if (column.count < 3) column.raw[column.count] = {x, v};
        column.last = {x, v};
        ++column.count;
        if (x >= 0 && x <= width) {
            out.low = out.any ? std::min(out.low, v) : v;
            out.high = out.any ? std::max(out.high, v) : v;
            out.any = true;
        }
        if (marked && series.marks[i] == SampleMark::Low && !column.hasLow) {
            column.hasLow = true;
            column.lowMark = {x, v, SampleMark::Low};
        } else if (marked && series.marks[i] == SampleMark::High && !column.hasHigh) {
            column.hasHigh = true;
            column.highMark = {x, v, SampleMark::High};
        }
    }
    flush();
    trimToEdges(out, width);
    return out;
}

namespace {

// Widens [low, high] by the finite values of samples [begin, end) that lie within `span`.
void widen(const ChartSeries& series, TimeSpan span, std::size_t begin, std::size_t end, double& low, double& high,
           bool& any) {
    for (std::size_t i = begin; i < end; ++i) {
        const double v = series.values[i];
        const WallMs t = series.times[i];
        if (t < span.from || t > span.to || !std::isfinite(v)) continue;
        low = any ? std::min(low, v) : v;
        high = any ? std::max(high, v) : v;
        any = true;
    }
}

} // namespace

bool valueRange(const ChartSeries& series, TimeSpan span, double& low, double& high) {
    std::size_t begin = 0, end = 0;
    visibleRange(series, span, begin, end);
    bool any = false;
    widen(series, span, begin, end, low, high, any);
    return any;
}

RangeIndex::RangeIndex(const ChartSeries& series) {
    const std::size_t n = std::min(series.times.size(), series.values.size());
    const TimeSpan all{std::numeric_limits<WallMs>::min(), std::numeric_limits<WallMs>::max()};
    for (std::size_t at = 0; at < n; at += kBlock) {
        Block block;
        widen(series, all, at, std::min(at + kBlock, n), block.low, block.high, block.any);
        blocks_.push_back(block);
    }
}

bool RangeIndex::range(const ChartSeries& series, TimeSpan span, double& low, double& high) const {
    std::size_t begin = 0, end = 0;
    visibleRange(series, span, begin, end);
    bool any = false;
    // The partial blocks at the ends sample by sample, the whole ones between by their extremes.
    const std::size_t firstWhole = (begin + kBlock - 1) / kBlock, lastWhole = end / kBlock;
    if (firstWhole >= lastWhole) {
        widen(series, span, begin, end, low, high, any);
        return any;
    }
    widen(series, span, begin, firstWhole * kBlock, low, high, any);
    for (std::size_t b = firstWhole; b < lastWhole && b < blocks_.size(); ++b) {
        if (!blocks_[b].any) continue;
        low = any ? std::min(low, blocks_[b].low) : blocks_[b].low;
        high = any ? std::max(high, blocks_[b].high) : blocks_[b].high;
        any = true;
    }
    widen(series, span, lastWhole * kBlock, end, low, high, any);
    return any;
}

} // namespace kavrel::ui
