#include "common/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace kavrel {

LocalDateTime SystemClock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     local.tm_wday};
}

long long SystemClock::seconds() const { return static_cast<long long>(std::time(nullptr)); }

void SystemClock::sleep(int milliseconds) const {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const Clock& systemClock() {
    static const SystemClock clock;
    return clock;
}

} // namespace kavrel
