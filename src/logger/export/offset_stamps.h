// Record times as ISO 8601 with the UTC offset of the computer's time zone:
// "2026-10-25T02:30:00+02:00". The module logs local wall-clock time, so in the autumn
// hour that comes twice one local time has two offsets. Records come in memory order:
// of the offsets a local time can have, the one taken is the earliest that does not put
// the record before the one before it, so the repeated hour stays two distinct runs.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kavrel::logger {

struct WallClock {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

// "YYYY-MM-DD hh:mm:ss" (the archive's stamps); none when it is not one.
std::optional<WallClock> parseStamp(const std::string& stamp);

class OffsetStamps {
public:
    // The time with its offset; a local time the clock skipped (the spring hour) gets
    // the offset in force just before it.
    std::string next(const WallClock& time);
    // "" for a stamp that is empty or not one.
    std::string nextStamp(const std::string& stamp);
    // Seconds since 1970 (UTC) of the time the last next() gave.
    std::optional<long long> lastSeconds() const { return last_; }

private:
    // The offsets a local time can have, earliest instant first.
    std::vector<long long> offsetsOf(const WallClock& time);

    std::optional<long long> last_;   // seconds since 1970 of the previous time
    // The offsets of the last half hour asked for: the time zone is read once for the
    // records of a half hour rather than for each (zones change their offset on the hour
    // or the half hour).
    long long cachedHalfHour_ = -1;
    std::vector<long long> cachedOffsets_;
};

// The archive's stamp of an ISO time written by OffsetStamps: its local date and time
// without the offset; "" when it is none.
std::string stampOfIsoTime(const std::string& iso);

} // namespace kavrel::logger
