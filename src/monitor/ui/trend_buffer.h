// The readings of the last hour of a polling run, at a fixed cost: a ring of samples
// allocated once, the oldest sample overwritten by the newest however long the run goes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "monitor/measurement.h"
#include "monitor/monitor_settings.h"

namespace kavrel::monitor::ui {

// One answered poll: the time and each input line's reading in its own unit.
struct TrendSample {
    std::int64_t msecsSinceEpoch = 0;
    std::array<std::optional<double>, kInputLines> value{};   // empty: the reading held no number
    std::array<std::optional<LineType>, kInputLines> unit{};  // the unit the reading carries
    std::uint8_t lowMask = 0;    // bit 0 = L1
    std::uint8_t highMask = 0;
};

// The reading of a value text such as "12.34V", "-3.5°C" or "45%": its leading number,
// independent of the locale; empty when the text does not begin with one.
std::optional<double> trendValue(std::string_view text);

// The kind of a value text by the unit after its number ("V", "'C" or "°C", "%"); empty when
// it carries none of them.
std::optional<LineType> trendUnit(std::string_view text);

TrendSample trendSample(std::int64_t msecsSinceEpoch, const MeasurementSnapshot& snapshot);

class TrendBuffer {
public:
    // One hour of polls every five seconds.
    static constexpr std::size_t kHourOfPolls = 3600 / 5;

    explicit TrendBuffer(std::size_t capacity = kHourOfPolls) : slots_(capacity) {}

    void push(const TrendSample& sample) {
        if (slots_.empty()) return;
        slots_[next_] = sample;
        next_ = (next_ + 1) % slots_.size();
        if (count_ < slots_.size()) ++count_;
    }
    void clear() { next_ = count_ = 0; }

    std::size_t size() const { return count_; }
    std::size_t capacity() const { return slots_.size(); }
    // The i-th sample, oldest first.
    const TrendSample& at(std::size_t i) const { return slots_[(next_ + slots_.size() - count_ + i) % slots_.size()]; }

private:
    std::vector<TrendSample> slots_;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
};

} // namespace kavrel::monitor::ui
