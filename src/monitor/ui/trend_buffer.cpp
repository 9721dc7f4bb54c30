#include "monitor/ui/trend_buffer.h"

#include <charconv>
#include <cmath>

namespace kavrel::monitor::ui {

std::optional<double> trendValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) return std::nullopt;
    return value;
}

TrendSample trendSample(std::int64_t msecsSinceEpoch, const MeasurementSnapshot& snapshot) {
    TrendSample sample;
    sample.msecsSinceEpoch = msecsSinceEpoch;
    for (int i = 0; i < kInputLines; ++i) sample.value[i] = trendValue(snapshot.lineValue[i]);
    sample.lowMask = static_cast<std::uint8_t>(snapshot.lowMask);
    sample.highMask = static_cast<std::uint8_t>(snapshot.highMask);
    return sample;
}

} // namespace kavrel::monitor::ui
