#include "monitor/ui/trend_buffer.h"

#include <charconv>
#include <cmath>
#include <utility>

namespace kavrel::monitor::ui {

std::optional<double> trendValue(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '+')) text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<LineType> trendUnit(std::string_view text) {
    while (!text.empty() && (text.back() == ' ')) text.remove_suffix(1);
    if (!trendValue(text)) return std::nullopt;
    // Windows-1250 texts: the degree sign is 0xB0; the module itself writes an apostrophe.
    for (const auto& [suffix, type] : {std::pair{std::string_view("'C"), LineType::Temperature},
                                       std::pair{std::string_view("\xB0" "C"), LineType::Temperature},
                                       std::pair{std::string_view("%"), LineType::Humidity},
                                       std::pair{std::string_view("V"), LineType::Voltage}})
        if (text.ends_with(suffix)) return type;
    return std::nullopt;
}

TrendSample trendSample(std::int64_t msecsSinceEpoch, const MeasurementSnapshot& snapshot) {
    TrendSample sample;
    sample.msecsSinceEpoch = msecsSinceEpoch;
    for (int i = 0; i < kInputLines; ++i) {
        sample.value[i] = trendValue(snapshot.lineValue[i]);
        sample.unit[i] = trendUnit(snapshot.lineValue[i]);
    }
    sample.lowMask = static_cast<std::uint8_t>(snapshot.lowMask);
    sample.highMask = static_cast<std::uint8_t>(snapshot.highMask);
    return sample;
}

} // namespace kavrel::monitor::ui
