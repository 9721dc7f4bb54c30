#include "sim/record_memory.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstring>
#include <span>

#include "common/bytes.h"
#include "logger/protocol/frame.h"
#include "logger/protocol/module_status.h"

namespace kavrel::sim {
namespace {

constexpr int kEventEvery = 7;        // one event record before every seventh measurement
constexpr int kStatusVersion[2] = {'3', '6'};
constexpr int kGeometryFactor = 16;   // records per block of the simulated memory
constexpr long long kWrappedCycles = 7000;    // a wrapped memory lost this many cycles of records
constexpr long long kOtherModuleCycles = 1000; // another module's records are dated this much later
constexpr long long kOtherModuleFirstNumber = 40001;  // ... and numbered from here

std::span<std::uint8_t> bytesOf(std::string& s) { return {reinterpret_cast<std::uint8_t*>(s.data()), s.size()}; }

// Packs a date and time the way the module stamps its records.
void packTime(std::span<std::uint8_t> f, std::size_t at, int year, int month, int day, int hour, int minute, int second) {
    const int y = year - 2016;
    f[at] = static_cast<std::uint8_t>(((y & 0x0F) << 4) | (month & 0x0F));
    f[at + 1] = static_cast<std::uint8_t>(((day >> 2) << 5) | (hour & 0x1F));
    f[at + 2] = static_cast<std::uint8_t>(((day & 0x03) << 6) | (minute & 0x3F));
    f[at + 3] = static_cast<std::uint8_t>((second & 0x3F) | (y >= 16 ? 0x40 : 0));
}

struct EventSample {
    std::uint8_t code, p1, p2;
    const char* text;
};

// Events as the module logs them, one of every kind the module knows (codes 0 to 21),
// with parameters that give each kind a telling text; the module writes degrees as 'C.
constexpr EventSample kEvents[] = {
    {1, 1, 0, "START"},            {12, 1, 0, "GSM OK"},           {2, 1, 0, "GSM init"},
    {3, 2, 0, "T2 < 5.0'C"},       {6, 0, 1, "SMS do 1"},          {4, 2, 0, "T2 > 25.5'C"},
    {5, 2, 0, "T2 21.0'C"},        {13, 0, 5, "mail 1 3"},         {7, 1, 0, "SET?"},
    {8, 2, 0, "CLIP"},             {9, 0, 0, "LAN"},               {11, 1, 2, "czas letni"},
    {17, 1, 0, "XL OK"},           {19, 0, 0x31, "http"},          {20, 0x23, 1, "XL3 22.5'C"},
    {15, 2, 0, "log"},             {14, 1, 0, "RCNT!"},            {16, 0, 0, "cam1"},
    {18, 0, 0, ""},                {21, 7, 0, "CSQ=0"},            {10, 4, 0x21, "GPRS"},
    {0, 0, 0, ""},
};

// The kinds byte of the extended-line records: the module's extended lines change their
// kinds when it is configured anew, and now and then a record holds no values (0x80).
constexpr std::uint8_t kNoExtendedValues = 0x80;
constexpr std::uint8_t kExtendedKinds[] = {0x12, 0x12, 0x43, 0x05};
constexpr int kKindsSpan = 4;         // periods logged with one kinds byte
constexpr int kEmptyExtendedEvery = 9;

// A raw value that suits an extended line of the given kind (bits 0 to 2 of its nibble).
std::uint16_t extendedValue(int kind, int period, int n) {
    switch (kind) {
    case 1: return static_cast<std::uint16_t>(30 + (period * 3 + n) % 60);                     // % RH
    case 2: return static_cast<std::uint16_t>(-50 + (period * 7 + n * 13) % 400);              // 0.1 'C, signed
    case 4:
    case 5: return (period / 3 + n) % 2 ? 4000 : 100;                                          // on/off
    default: return static_cast<std::uint16_t>(3000 + (period * 37 + n * 101) % 2000);         // mV
    }
}

} // namespace

RecordMemory::RecordMemory(const MemoryOptions& options) : options_(options) {
    constexpr int kMostRecords = kGeometryFactor * 65534;
    long long count = std::clamp(options.records, 0, kMostRecords);
    if (options_.cyclic) {
        // A wrapped memory is full to the last block, so its record count is whole blocks;
        // the module wrote many more records before the ones it still holds.
        count = (count + kGeometryFactor - 1) / kGeometryFactor * kGeometryFactor;
        capacity_ = count;
        oldest_ = cycleLength() * kWrappedCycles;
        wrapped_ = true;
    } else {
        // A fresh memory has room for twice what it holds.
        capacity_ = (std::max(1024LL, 2 * count) + kGeometryFactor - 1) / kGeometryFactor * kGeometryFactor;
    }
    written_ = oldest_ + count;
    periodOrigin_ = periodAt(oldest_);

    using namespace std::chrono;
    firstStamp_ = duration_cast<seconds>(sys_days{year{2025} / March / 7}.time_since_epoch()).count();
    if (options_.untilNow) {
        // The last period ends at the PC's local time of now.
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        const auto today = sys_days{year{local.tm_year + 1900} / month{unsigned(local.tm_mon + 1)} / day{unsigned(local.tm_mday)}};
        const long long nowStamp = duration_cast<seconds>(today.time_since_epoch()).count() + local.tm_hour * 3600LL +
                                   local.tm_min * 60LL + local.tm_sec;
        const long long lastPeriod = count > 0 ? periodAt(written_ - 1) - periodOrigin_ : 0;
        firstStamp_ = nowStamp - 60LL * lastPeriod * std::max(1, options_.loggingPeriod) - 5;
    }
}

long long RecordMemory::cycleLength() const { return 1 + kEventEvery * recordsPerPeriod(); }

int RecordMemory::recordsPerPeriod() const { return options_.extendedLines || options_.energyMeter ? 2 : 1; }

// A cycle is one event record, then kEventEvery periods of a measurement record each
// followed by its extended-line record when the module has extended lines.
char RecordMemory::kindAt(long long position) const {
    const long long r = position % cycleLength();
    if (r == 0) return 'Z';
    return (r - 1) % recordsPerPeriod() == 0 ? 'P' : 'X';
}

long long RecordMemory::periodAt(long long position) const {
    const long long r = position % cycleLength();
    return position / cycleLength() * kEventEvery + (r == 0 ? 0 : (r - 1) / recordsPerPeriod());
}

long long RecordMemory::numberedBefore(long long position) const {
    const long long r = position % cycleLength();
    const long long k = recordsPerPeriod();
    return position / cycleLength() * (1 + kEventEvery) + (r == 0 ? 0 : 1 + (r - 1 + k - 1) / k);
}

void RecordMemory::append(int records) {
    written_ += std::max(0, records);
    if (written_ - oldest_ > capacity_) {
        noteOverwritten(oldest_, written_ - capacity_);
        oldest_ = written_ - capacity_;
        wrapped_ = true;
    }
}

long long RecordMemory::numberAt(long long position) const {
    return numberedBefore(position) - numberedBefore(numberOrigin_) + numberBase_;
}

void RecordMemory::noteOverwritten(long long from, long long to) {
    // The unread stretches of [from, to): between the read intervals that meet it.
    auto unread = [&](long long a, long long b) {
        if (a >= b) return;
        const long long first = numberAt(a), last = numberAt(b) - 1;   // numberAt counts the records before
        if (last < first) return;   // only extended-line records, which carry no number
        if (!overwrittenUnread_.empty() && overwrittenUnread_.back().last + 1 == first) overwrittenUnread_.back().last = last;
        else overwrittenUnread_.push_back({first, last});
    };
    long long at = from;
    for (auto it = read_.begin(); it != read_.end() && it->first < to; it = read_.erase(it)) {
        unread(at, std::min(it->first, to));
        at = std::max(at, it->second);
        if (it->second > to) {   // the part still held stays read
            read_.emplace(to, it->second);
            read_.erase(it);
            break;
        }
    }
    unread(at, to);
}

std::string RecordMemory::serve(int index) {
    const bool blank = std::find(options_.blankSlots.begin(), options_.blankSlots.end(), index) != options_.blankSlots.end();
    if (index >= 1 && index <= recordCount() && !blank) {
        // Kept as merged intervals: a download reads long runs of neighbours.
        const long long p = oldest_ + index - 1;
        auto next = read_.upper_bound(p);
        if (next != read_.begin()) {
            auto previous = std::prev(next);
            if (previous->second > p) return frame(index);
            if (previous->second == p) {
                previous->second = p + 1;
                if (next != read_.end() && next->first == p + 1) {
                    previous->second = next->second;
                    read_.erase(next);
                }
                return frame(index);
            }
        }
        if (next != read_.end() && next->first == p + 1) {
            const long long end = next->second;
            read_.erase(next);
            read_.emplace(p, end);
        } else {
            read_.emplace(p, p + 1);
        }
    }
    return frame(index);
}

std::optional<std::string> RecordMemory::numberedFrame(long long number) const {
    // Numbers grow with the position: the first position numbered past `number`, less one.
    long long low = numberOrigin_, high = written_;
    if (number < numberBase_ || low >= high) return std::nullopt;
    while (low < high) {
        const long long middle = low + (high - low) / 2;
        if (numberAt(middle + 1) <= number) low = middle + 1;
        else high = middle;
    }
    if (low >= written_ || kindAt(low) == 'X' || numberAt(low) != number) return std::nullopt;
    return frameAt(low);
}

void RecordMemory::clear() {
    // Logging goes on from the next period, the first record numbered 1 again.
    while (kindAt(written_) == 'X') ++written_;
    oldest_ = numberOrigin_ = written_;
    numberBase_ = 1;
    wrapped_ = false;
    read_.clear();
}

void RecordMemory::replaceByAnotherModule() {
    const long long count = written_ - oldest_;
    written_ = (written_ / cycleLength() + kOtherModuleCycles) * cycleLength();
    oldest_ = numberOrigin_ = written_;
    numberBase_ = kOtherModuleFirstNumber;
    wrapped_ = false;
    read_.clear();
    append(static_cast<int>(count));
}

std::string RecordMemory::erasedFrame() const {
    const int length = options_.recordLength;
    std::string f(static_cast<std::size_t>(length) + 2, '\xFF');
    f[0] = 'R';
    f[1] = static_cast<char>(length);
    if (length >= 2) logger::sealFrame(bytesOf(f));
    return f;
}

std::string RecordMemory::frame(int index) const {
    const bool blank = std::find(options_.blankSlots.begin(), options_.blankSlots.end(), index) != options_.blankSlots.end();
    if (index < 1 || index > recordCount() || blank) return erasedFrame();
    return frameAt(oldest_ + index - 1);
}

std::string RecordMemory::frameAt(long long position) const {
    // The contents are laid out in 39 bytes; a module with another record length sends
    // them cut or padded to its own frame size.
    std::string f(std::max<std::size_t>(39, static_cast<std::size_t>(options_.recordLength) + 2), '\0');
    f[0] = 'R';
    f[1] = static_cast<char>(options_.recordLength);
    const char kind = kindAt(position);
    const long long period = periodAt(position) - periodOrigin_;
    f[2] = kind;
    if (kind == 'X') {
        fillExtended(f, period);
    } else {
        bytes::put32le(bytesOf(f), 3, static_cast<std::uint32_t>(numberAt(position)));
        putTime(f, position);
        if (kind == 'P') fillMeasurement(f, period);
        else fillEvent(f, period);
    }
    f.resize(static_cast<std::size_t>(options_.recordLength) + 2);
    logger::sealFrame(bytesOf(f));
    return f;
}

void RecordMemory::putTime(std::string& f, long long position) const {
    using namespace std::chrono;
    const long long period = periodAt(position) - periodOrigin_;
    const auto start = sys_seconds{seconds{firstStamp_}};
    const auto stamp = start + minutes{period * std::max(1, options_.loggingPeriod)} +
                       seconds{kindAt(position) == 'Z' ? 0 : 5};
    const auto day = floor<days>(stamp);
    const year_month_day date{day};
    const hh_mm_ss time{stamp - day};
    packTime(bytesOf(f), 7, int(date.year()), int(unsigned(date.month())), int(unsigned(date.day())),
             int(time.hours().count()), int(time.minutes().count()), int(time.seconds().count()));
}

void RecordMemory::fillMeasurement(std::string& f, long long wholePeriod) const {
    auto b = bytesOf(f);
    const int period = static_cast<int>(wholePeriod);
    for (std::size_t line = 0; line < 8; ++line) {
        const std::uint8_t kind = options_.lineConfiguration[line] & 0x87;
        int value = 0;
        if (kind == 0x80 || kind == 0x82 || kind == 0x84 || kind == 0x86) value = -50 + (period * 7 + int(line)) % 400;  // 0.1 °C
        else if (kind == 0x81 || kind == 0x85) value = 30 + (period * 3) % 60;                                         // % RH
        else if (kind == 0x04 || kind == 0x05) value = (period / 3) % 2 ? 4000 : 100;                                   // on/off
        else value = 11000 + (period * 37 + int(line) * 101) % 2500;                                                    // mV
        bytes::put16le(b, 11 + 2 * line, static_cast<std::uint16_t>(value));
    }
    b[27] = period % 11 == 3 ? 0x02 : 0x00;                      // LOW
    b[28] = period % 13 == 5 ? 0x01 : 0x00;                      // HIGH
    b[29] = static_cast<std::uint8_t>(period % 64);              // outputs
    b[30] = static_cast<std::uint8_t>(0x80 | (14 + period % 16)); // GSM level, valid
    bytes::put16le(b, 31, static_cast<std::uint16_t>(period / 10));
    b[33] = static_cast<std::uint8_t>((period % 17 == 0 ? 0x01 : 0) | 0x02 | (options_.energyMeter ? 0x10 : 0));
    b[34] = static_cast<std::uint8_t>(period / 20);
    bytes::put16le(b, 35, static_cast<std::uint16_t>(options_.extendedLines || options_.energyMeter ? 0x00FF : 0));
}

void RecordMemory::fillExtended(std::string& f, long long wholePeriod) const {
    auto b = bytesOf(f);
    const int period = static_cast<int>(wholePeriod);
    if (period % kEmptyExtendedEvery == kEmptyExtendedEvery - 1) {
        b[3] = kNoExtendedValues;
        return;
    }
    const std::uint8_t kinds = options_.energyMeter ? 0x11 : kExtendedKinds[(period / kKindsSpan) % std::size(kExtendedKinds)];
    b[3] = kinds;
    // The energy meter: voltage, current and frequency in tenths, active and apparent
    // power, power factor in thousandths, energy in kWh and Wh.
    const std::uint16_t meter[8] = {static_cast<std::uint16_t>(2290 + period % 25), static_cast<std::uint16_t>(120 + period % 40),
                                    static_cast<std::uint16_t>(499 + period % 3), static_cast<std::uint16_t>(2800 + period % 700),
                                    static_cast<std::uint16_t>(3000 + period % 800), static_cast<std::uint16_t>(900 + period % 95),
                                    static_cast<std::uint16_t>(1234 + period / 4), static_cast<std::uint16_t>((period * 250) % 1000)};
    for (int n = 0; n < 16; ++n) {
        const int kind = n < 8 ? (kinds & 0x07) : ((kinds >> 4) & 0x07);
        const std::uint16_t value = options_.energyMeter && n >= 8 ? meter[n - 8] : extendedValue(kind, period, n);
        bytes::put16le(b, 4 + 2 * static_cast<std::size_t>(n), value);
    }
}

void RecordMemory::fillEvent(std::string& f, long long wholePeriod) const {
    const int period = static_cast<int>(wholePeriod);
    const EventSample& e = kEvents[static_cast<std::size_t>(period / kEventEvery) % std::size(kEvents)];
    f[11] = static_cast<char>(e.code);
    f[12] = static_cast<char>(e.p1);
    f[13] = static_cast<char>(e.p2);
    f[14] = 0;
    std::memcpy(f.data() + 15, e.text, std::min<std::size_t>(22, std::strlen(e.text)));
}

std::string RecordMemory::statusFrame(const LocalDateTime& clock, int loggingPeriod) const {
    logger::ModuleStatus s;
    s.versionMajor = static_cast<char>(kStatusVersion[0]);
    s.versionMinor = static_cast<char>(kStatusVersion[1]);
    s.recordLength = static_cast<std::uint16_t>(options_.recordLength);
    const int count = recordCount();
    const int blocks = static_cast<int>(capacity_ / kGeometryFactor);
    s.geometryFactor = kGeometryFactor;
    s.geometryBlocks = static_cast<std::uint16_t>(std::min(65535, blocks + 1));
    s.storedRecords = wrapped_ ? count / 3 : count;
    s.fillPercent = static_cast<std::uint8_t>(wrapped_ || blocks == 0 ? 100 : (100LL * count) / (kGeometryFactor * blocks));
    s.flags = static_cast<std::uint8_t>(logger::status_flags::kLoggingEnabled |
                                        (wrapped_ ? logger::status_flags::kCyclicBuffer : 0) |
                                        (options_.extendedLines || options_.energyMeter ? logger::status_flags::kExtendedLines : 0) |
                                        (options_.energyMeter ? logger::status_flags::kEnergyMeter : 0));
    s.lineConfiguration = options_.lineConfiguration;
    s.loggingPeriod = static_cast<std::uint16_t>(loggingPeriod);
    s.second = static_cast<std::uint8_t>(clock.second);
    s.minute = static_cast<std::uint8_t>(clock.minute);
    s.hour = static_cast<std::uint8_t>(clock.hour);
    s.day = static_cast<std::uint8_t>(clock.day);
    s.month = static_cast<std::uint8_t>(clock.month);
    s.year = static_cast<std::uint8_t>(clock.year % 100);
    const auto frame = logger::encodeStatus(s);
    return std::string(frame.begin(), frame.end());
}

} // namespace kavrel::sim
