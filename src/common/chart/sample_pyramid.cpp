#include "common/chart/sample_pyramid.h"

#include <algorithm>
#include <cmath>

namespace kavrel::ui {

SamplePyramid::SamplePyramid(const ChartSeries& series) {
    const std::size_t n = std::min(series.times.size(), series.values.size());
    if (n > UINT32_MAX) return;   // indexes are kept in 32 bits; such a series is reduced sample by sample
    const bool marked = series.marks.size() >= n;
    const auto& t = series.times;
    const auto& v = series.values;
    for (std::size_t first = 0; first + kBase <= n; first += kBase) {
        Block block;
        block.lowAt = block.highAt = static_cast<std::uint32_t>(first);
        block.plain = true;
        for (std::size_t i = first; i < first + kBase; ++i) {
            block.plain = block.plain && std::isfinite(v[i]) && (!marked || series.marks[i] == SampleMark::None);
            if (i > first) block.longestStep = std::max(block.longestStep, t[i] - t[i - 1]);
            if (v[i] < v[block.lowAt]) block.lowAt = static_cast<std::uint32_t>(i);
            if (v[i] > v[block.highAt]) block.highAt = static_cast<std::uint32_t>(i);
        }
        levels_[0].push_back(block);
    }
    // Each level from four blocks of the one below, the steps between them included.
    for (std::size_t level = 1; level < kLevels; ++level) {
        const std::vector<Block>& below = levels_[level - 1];
        const std::size_t childSize = blockSize(level - 1);
        for (std::size_t c = 0; c + 4 <= below.size(); c += 4) {
            Block block = below[c];
            for (std::size_t k = 1; k < 4; ++k) {
                const Block& child = below[c + k];
                const std::size_t start = (c + k) * childSize;
                block.plain = block.plain && child.plain;
                block.longestStep = std::max({block.longestStep, child.longestStep, t[start] - t[start - 1]});
                if (v[child.lowAt] < v[block.lowAt]) block.lowAt = child.lowAt;
                if (v[child.highAt] > v[block.highAt]) block.highAt = child.highAt;
            }
            levels_[level].push_back(block);
        }
    }
}

const SamplePyramid::Block* SamplePyramid::blockAt(std::size_t level, std::size_t first) const {
    const std::size_t size = blockSize(level);
    if (level >= kLevels || first % size != 0 || first / size >= levels_[level].size()) return nullptr;
    return &levels_[level][first / size];
}

} // namespace kavrel::ui
