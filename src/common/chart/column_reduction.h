// A series cut down to what a plot of a given width can show: in each pixel column only the
// first, lowest, highest and last sample count, so drawing costs the width, not the number
// of samples. Lines break where a value is missing or the step between samples is longer
// than the gap threshold; a sample with no neighbour on its line stays as a lone point.
#pragma once

#include <cstddef>
#include <vector>

#include "common/chart/chart_data.h"
#include "common/chart/sample_pyramid.h"

namespace kavrel::ui {

struct PlotPoint {
    double x = 0;       // pixels from the left edge of the plot
    double value = 0;   // in the series' unit
};

struct MarkPoint {
    double x = 0;
    double value = 0;
    SampleMark mark = SampleMark::None;
};

struct ReducedSeries {
    std::vector<std::vector<PlotPoint>> strokes;   // each drawn as one line (one point: a dot)
    std::vector<MarkPoint> marks;                  // at most one LOW and one HIGH per column
    double low = 0;                                // lowest and highest value drawn
    double high = 0;
    bool any = false;
    std::size_t points() const;
};

// Reduces the samples of `series` within `span` (plus one on each side, so that lines run to
// the edges) to a plot `width` pixels wide. With the series' pyramid, blocks of samples that
// fall in one column are taken whole: the same result, at the cost of the columns.
ReducedSeries reduceToColumns(const ChartSeries& series, TimeSpan span, double width, WallMs gapAfter,
                              const SamplePyramid* pyramid = nullptr);

// The lowest and highest value of `series` within `span`; false when it has none there.
bool valueRange(const ChartSeries& series, TimeSpan span, double& low, double& high);

// The extremes of each block of samples of a series, so that the range of any span costs
// the blocks it covers plus the samples at its two ends, not every sample.
class RangeIndex {
public:
    static constexpr std::size_t kBlock = 256;
    explicit RangeIndex(const ChartSeries& series);
    bool range(const ChartSeries& series, TimeSpan span, double& low, double& high) const;

private:
    struct Block {
        double low = 0, high = 0;
        bool any = false;
    };
    std::vector<Block> blocks_;
};

} // namespace kavrel::ui
