// The PC's time and the pauses of the protocol, injected into operations so that tests can
// fix the time and skip the pauses: the local date and time, the calendar time in whole
// seconds, and sleeping. Time-outs are measured on the monotonic clock instead (IntervalTimer).
#pragma once

#include <vector>

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
    // Local calendar date and time.
    virtual LocalDateTime now() const = 0;
    // Calendar time in whole seconds since 1970 (start times and durations of downloads).
    virtual long long seconds() const = 0;
    // Pauses the calling thread for the given milliseconds (none for 0 or less).
    virtual void sleep(int milliseconds) const = 0;
};

// The PC's own local time; sleeps for real.
class SystemClock final : public Clock {
public:
    LocalDateTime now() const override;
    long long seconds() const override;
    void sleep(int milliseconds) const override;
};

// The one SystemClock of the process, for operations given no other clock.
const Clock& systemClock();

// A clock standing still at one moment that skips the pauses and records them (tests,
// reproducible runs, a moment taken on the window's thread and handed to a worker).
class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalDateTime moment = {}, long long seconds = 0) : moment_(moment), seconds_(seconds) {}
    LocalDateTime now() const override { return moment_; }
    long long seconds() const override { return seconds_; }
    void sleep(int milliseconds) const override { sleeps_.push_back(milliseconds); }

    void set(LocalDateTime moment) { moment_ = moment; }
    void setSeconds(long long seconds) { seconds_ = seconds; }
    // Every pause asked for, in order.
    const std::vector<int>& sleeps() const { return sleeps_; }

private:
    LocalDateTime moment_;
    long long seconds_;
    mutable std::vector<int> sleeps_;
};

} // namespace kavrel
