#include "fleet/rollout/rollout_plan.h"

#include <algorithm>
#include <charconv>

namespace kavrel::fleet {
namespace {

bool wholeNumber(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

} // namespace

bool parseBatch(const std::string& text, StagePlan& plan) {
    std::string_view digits = text;
    const bool percent = !digits.empty() && digits.back() == '%';
    if (percent) digits.remove_suffix(1);
    int value = 0;
    if (!wholeNumber(digits, value) || value < 1 || (percent && value > 100)) return false;
    plan.batchPercent = percent ? value : 0;
    plan.batch = percent ? 0 : static_cast<std::size_t>(value);
    return true;
}

bool parseStopAt(const std::string& text, int& percent) {
    std::string_view digits = text;
    if (!digits.empty() && digits.back() == '%') digits.remove_suffix(1);
    int value = 0;
    if (!wholeNumber(digits, value) || value < 1 || value > 100) return false;
    percent = value;
    return true;
}

std::vector<std::vector<std::size_t>> stagesOf(std::size_t count, const StagePlan& plan) {
    std::vector<std::vector<std::size_t>> stages;
    std::size_t next = 0;
    const std::size_t canary = std::min(plan.canary, count);
    if (canary > 0) {
        stages.emplace_back();
        for (; next < canary; ++next) stages.back().push_back(next);
    }
    std::size_t batch = plan.batch;
    if (plan.batchPercent > 0) batch = std::max<std::size_t>(1, (count * static_cast<std::size_t>(plan.batchPercent) + 99) / 100);
    if (batch == 0) batch = count;
    while (next < count) {
        stages.emplace_back();
        for (std::size_t i = 0; i < batch && next < count; ++i, ++next) stages.back().push_back(next);
    }
    return stages;
}

bool stageStops(std::size_t failures, std::size_t size, int stopAtPercent) {
    if (failures == 0) return false;
    return failures * 100 >= size * static_cast<std::size_t>(stopAtPercent);
}

} // namespace kavrel::fleet
