#include "common/chart/column_reduction.h"

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

namespace {

// Gathers the samples of a reduction column by column, one at a time or a pyramid block at a
// time; a block gives exactly what its samples would one by one.
class Reducer {
public:
    Reducer(const ChartSeries& series, TimeSpan span, double width, WallMs gapAfter, std::size_t end, ReducedSeries& out)
        : series_(series), span_(span), width_(width), gapAfter_(gapAfter), out_(out),
          scale_(width / static_cast<double>(span.length())), marked_(series.marks.size() >= end) {}

    double xOf(std::size_t i) const { return static_cast<double>(series_.times[i] - span_.from) * scale_; }

    void take(std::size_t i) {
        const double v = series_.values[i];
        const WallMs t = series_.times[i];
        if (!std::isfinite(v)) {
            previousValue_ = false;
            return;
        }
        const bool joined = previousValue_ && (gapAfter_ <= 0 || t - previousTime_ <= gapAfter_);
        previousTime_ = t;
        previousValue_ = true;
        const double x = xOf(i);
        const auto index = static_cast<std::int64_t>(std::floor(x));
        if (!joined || !open_ || index != column_.index) {
            flush();
            if (!joined || !stroke_) {
                out_.strokes.emplace_back();
                stroke_ = &out_.strokes.back();
            }
            column_ = Column{};
            column_.index = index;
            column_.low = column_.high = {x, v};
            open_ = true;
        } else {
            if (v < column_.low.value) {
                column_.low = {x, v};
                column_.lowAt = column_.count;
            }
            if (v > column_.high.value) {
                column_.high = {x, v};
                column_.highAt = column_.count;
            }
        }
        if (column_.count < 3) column_.raw[column_.count] = {x, v};
        column_.last = {x, v};
        ++column_.count;
        if (x >= 0 && x <= width_) {
            out_.low = out_.any ? std::min(out_.low, v) : v;
            out_.high = out_.any ? std::max(out_.high, v) : v;
            out_.any = true;
        }
        if (marked_ && series_.marks[i] == SampleMark::Low && !column_.hasLow) {
            column_.hasLow = true;
            column_.lowMark = {x, v, SampleMark::Low};
        } else if (marked_ && series_.marks[i] == SampleMark::High && !column_.hasHigh) {
            column_.hasHigh = true;
            column_.highMark = {x, v, SampleMark::High};
        }
    }

    // The end of the column of sample `i`: the first sample after it in another column (or `end`).
    std::size_t columnEnd(std::size_t i, std::size_t end) const {
        const double column = std::floor(xOf(i));
        const auto inColumn = [&](std::size_t j) { return std::floor(xOf(j)) <= column; };
        // Galloping out from i, then halving: the cost grows with the log of the column's samples.
        std::size_t lo = i, step = 1;
        while (lo + step < end && inColumn(lo + step)) {
            lo += step;
            step *= 2;
        }
        std::size_t hi = std::min(lo + step, end);   // lo in the column, hi not (or the end)
        while (hi - lo > 1) {
            const std::size_t mid = lo + (hi - lo) / 2;
            (inColumn(mid) ? lo : hi) = mid;
        }
        return hi;
    }

    // The `size` samples from `first`, all in the column of the first, as one, when nothing in
    // them breaks the line and they lie inside the plot; false (nothing taken) otherwise.
    bool takeBlock(std::size_t first, std::size_t size, const SamplePyramid::Block& block) {
        const std::size_t last = first + size - 1;
        if (!block.plain || (gapAfter_ > 0 && block.longestStep > gapAfter_)) return false;
        const double lastX = xOf(last);
        if (xOf(first) < 0 || lastX > width_) return false;
        return takeWhole(first, last, lastX, block);
    }

private:
    bool takeWhole(std::size_t first, std::size_t last, double lastX, const SamplePyramid::Block& block) {
        take(first);
        // The rest continue the column that the first sample is in: positions follow on.
        const int base = column_.count - 1 - static_cast<int>(first);
        for (std::size_t i = first + 1; i <= last && column_.count < 3; ++i) column_.raw[column_.count++] = {xOf(i), series_.values[i]};
        const double low = series_.values[block.lowAt], high = series_.values[block.highAt];
        if (low < column_.low.value) {
            column_.low = {xOf(block.lowAt), low};
            column_.lowAt = base + static_cast<int>(block.lowAt);
        }
        if (high > column_.high.value) {
            column_.high = {xOf(block.highAt), high};
            column_.highAt = base + static_cast<int>(block.highAt);
        }
        column_.last = {lastX, series_.values[last]};
        column_.count = base + static_cast<int>(last) + 1;
        previousTime_ = series_.times[last];
        out_.low = std::min(out_.low, low);
        out_.high = std::max(out_.high, high);
        return true;
    }

public:
    void flush() {
        if (!open_) return;
        std::vector<PlotPoint>& s = *stroke_;
        if (column_.count <= 3) {
            s.insert(s.end(), column_.raw, column_.raw + column_.count);
        } else {
            // The envelope: in at the first sample, down and up (in the order they came), out
            // at the last.
            const double mid = static_cast<double>(column_.index) + 0.5;
            const bool lowFirst = column_.lowAt < column_.highAt;
            s.push_back(column_.raw[0]);
            s.push_back({mid, lowFirst ? column_.low.value : column_.high.value});
            s.push_back({mid, lowFirst ? column_.high.value : column_.low.value});
            s.push_back(column_.last);
        }
        if (column_.hasLow) out_.marks.push_back(column_.lowMark);
        if (column_.hasHigh) out_.marks.push_back(column_.highMark);
        open_ = false;
    }

private:
    const ChartSeries& series_;
    TimeSpan span_;
    double width_;
    WallMs gapAfter_;
    ReducedSeries& out_;
    double scale_;
    bool marked_;
    std::vector<PlotPoint>* stroke_ = nullptr;
    Column column_;
    bool open_ = false;   // a column is being gathered
    WallMs previousTime_ = 0;
    bool previousValue_ = false;
};

// The samples [i, columnEnd) of one column, in the largest pyramid blocks that fit there,
// sample by sample where none does.
void takeColumn(Reducer& reducer, const SamplePyramid& pyramid, std::size_t i, std::size_t columnEnd) {
    while (i < columnEnd) {
        std::size_t taken = 0;
        for (std::size_t level = SamplePyramid::kLevels; level-- > 0 && taken == 0;) {
            const std::size_t size = SamplePyramid::blockSize(level);
            if (i % size != 0 || i + size > columnEnd) continue;
            const SamplePyramid::Block* block = pyramid.blockAt(level, i);
            if (block && reducer.takeBlock(i, size, *block)) taken = size;
        }
        if (taken == 0) {
            reducer.take(i);
            taken = 1;
        }
        i += taken;
    }
}

} // namespace

ReducedSeries reduceToColumns(const ChartSeries& series, TimeSpan span, double width, WallMs gapAfter,
                              const SamplePyramid* pyramid) {
    ReducedSeries out;
    if (span.to <= span.from || width <= 0) return out;
    std::size_t begin = 0, end = 0;
    visibleRange(series, span, begin, end);
    Reducer reducer(series, span, width, gapAfter, end, out);
    for (std::size_t i = begin; i < end;) {
        // A column of a handful of samples is cheaper taken as it is than searched for its end.
        const bool dense = pyramid && i + SamplePyramid::kBase < end &&
                           std::floor(reducer.xOf(i)) == std::floor(reducer.xOf(i + SamplePyramid::kBase));
        if (!dense) {
            reducer.take(i++);
            continue;
        }
        const std::size_t columnEnd = reducer.columnEnd(i, end);
        takeColumn(reducer, *pyramid, i, columnEnd);
        i = columnEnd;
    }
    reducer.flush();
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
