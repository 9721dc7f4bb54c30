#include "logger/export/offset_stamps.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace kavrel::logger {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date.
long long daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The wall-clock fields read as if they were UTC.
long long fieldSeconds(const WallClock& t) {
    return daysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

bool sameFields(const std::tm& a, const WallClock& t) {
    return a.tm_year == t.year - 1900 && a.tm_mon == t.month - 1 && a.tm_mday == t.day && a.tm_hour == t.hour &&
           a.tm_min == t.minute && a.tm_sec == t.second;
}

bool localTime(std::time_t instant, std::tm& out) {
#ifdef _WIN32
    return localtime_s(&out, &instant) == 0;
#else
    return localtime_r(&instant, &out) != nullptr;
#endif
}

// The instants this local time names, earliest first: one, two in the repeated hour,
// none in the skipped one.
std::vector<long long> instantsOf(const WallClock& t) {
    std::vector<long long> found;
    for (int dst : {1, 0}) {
        std::tm fields{};
        fields.tm_year = t.year - 1900;
        fields.tm_mon = t.month - 1;
        fields.tm_mday = t.day;
        fields.tm_hour = t.hour;
        fields.tm_min = t.minute;
        fields.tm_sec = t.second;
        fields.tm_isdst = dst;
        const std::time_t instant = std::mktime(&fields);
        std::tm back{};
        if (instant == static_cast<std::time_t>(-1) || !localTime(instant, back) || !sameFields(back, t)) continue;
        if (found.empty() || found.front() != instant) found.push_back(instant);
    }
    if (found.size() == 2 && found[1] < found[0]) std::swap(found[0], found[1]);
    return found;
}

std::string isoText(const WallClock& t, long long offsetSeconds) {
    const char sign = offsetSeconds < 0 ? '-' : '+';
    const long long magnitude = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02lld:%02lld", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, sign, magnitude / 60, magnitude % 60);
    return text;
}

} // namespace

std::optional<WallClock> parseStamp(const std::string& stamp) {
    WallClock t;
    int used = 0;
    if (std::sscanf(stamp.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &t.year, &t.month, &t.day, &t.hour, &t.minute, &t.second,
                    &used) != 6 ||
        used != static_cast<int>(stamp.size()) || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31)
        return std::nullopt;
    return t;
}

std::vector<long long> OffsetStamps::offsetsOf(const WallClock& time) {
    const long long halfHour = fieldSeconds(time) / 1800;
    if (halfHour != cachedHalfHour_) {
        cachedOffsets_.clear();
        for (long long instant : instantsOf(time)) cachedOffsets_.push_back(fieldSeconds(time) - instant);
        cachedHalfHour_ = halfHour;
    }
    return cachedOffsets_;
}

std::string OffsetStamps::next(const WallClock& time) {
    std::vector<long long> instants;
    for (long long offset : offsetsOf(time)) instants.push_back(fieldSeconds(time) - offset);
    long long chosen = 0;
    if (instants.empty()) {
        // Skipped by the clock: read with the offset of the hour before.
        WallClock before = time;
        before.hour = time.hour > 0 ? time.hour - 1 : 0;
        const std::vector<long long> earlier = instantsOf(before);
        const long long offset = earlier.empty() ? 0 : fieldSeconds(before) - earlier.front();
        chosen = fieldSeconds(time) - offset;
    } else {
        chosen = instants.front();
        for (long long instant : instants)
            if (!last_ || instant >= *last_) {
                chosen = instant;
                break;
            }
    }
    last_ = chosen;
    return isoText(time, fieldSeconds(time) - chosen);
}

std::string OffsetStamps::nextStamp(const std::string& stamp) {
    const auto time = parseStamp(stamp);
    return time ? next(*time) : std::string();
}

std::string stampOfIsoTime(const std::string& iso) {
    if (iso.size() < 19 || iso[10] != 'T') return "";
    std::string stamp = iso.substr(0, 19);
    stamp[10] = ' ';
    return parseStamp(stamp) ? stamp : std::string();
}

} // namespace kavrel::logger
