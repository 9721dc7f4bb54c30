// The samples of a series in blocks of 4, 16, 64, ... 16,384, each block with its first
// lowest and first highest sample and what would break a line inside it (a missing value, a
// mark, a step longer than a gap). Built once when the series is loaded: a block that falls
// in one pixel column is then taken whole by the column reduction, which so costs the columns
// and the blocks at their edges, not every sample, and draws exactly the same lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/chart/chart_data.h"

namespace kavrel::ui {

class SamplePyramid {
public:
    static constexpr std::size_t kBase = 4;   // samples of a level-0 block; each level 4 times more
    static constexpr std::size_t kLevels = 7;

    struct Block {
        std::uint32_t lowAt = 0, highAt = 0;   // sample indexes (the first of equal ones)
        WallMs longestStep = 0;                // between neighbouring samples inside the block
        bool plain = false;                    // every value finite, no sample marked
    };

    SamplePyramid() = default;
    explicit SamplePyramid(const ChartSeries& series);

    static constexpr std::size_t blockSize(std::size_t level) { return kBase << (2 * level); }
    // The block of `level` that starts at sample `first`, when there is a whole one there.
    const Block* blockAt(std::size_t level, std::size_t first) const;

private:
    std::vector<Block> levels_[kLevels];
};

} // namespace kavrel::ui
