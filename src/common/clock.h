// Local date and time of the PC, and sleeping, injected into operations so that tests
// can fix the clock and skip the pauses.
#pragma once

#include <functional>

namespace kavrel {

struct LocalDateTime {
    int year = 2000;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int dayOfWeek = 6; // 0 = Sunday .. 6 = Saturday
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalDateTime now() const = 0;
};

// The PC's own local time.
class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
};

// A clock that always answers the same moment (tests, reproducible runs).
class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalDateTime moment) : moment_(moment) {}
    LocalDateTime now() const override { return moment_; }
    void set(LocalDateTime moment) { moment_ = moment; }

private:
    LocalDateTime moment_;
};

using SleepFunction = std::function<void(int milliseconds)>;

// Sleeps for real on the calling thread.
void sleepMs(int milliseconds);

} // namespace kavrel
