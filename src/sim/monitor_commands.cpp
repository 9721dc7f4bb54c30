#include "sim/monitor_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "sim/sim_flags.h"

namespace kavrel::sim {
namespace {

constexpr const char* kLongTail = "-ODCZYT-DLUZSZY-NIZ-POLE";   // makes a reading overflow its 15-character field

std::string format(const char* pattern, double value) {
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// A triangle wave between low and high with the given period in polls. The phase and the
// half period are below the period (a few dozen polls), so they are exact as doubles.
double wave(long poll, double low, double high, long period) {
    const long phase = poll % period;
    const long half = period / 2;
    const double rise = static_cast<double>(phase <= half ? phase : period - phase) / static_cast<double>(half);
    return low + (high - low) * rise;
}

} // namespace

bool MonitorCommands::faulty() const {
    return poll_ >= options_.firstFaultyPoll && (options_.lastFaultyPoll == 0 || poll_ <= options_.lastFaultyPoll);
}

std::string MonitorCommands::measurementReply() const {
    const long t = poll_;
    const bool longTexts = faulty() && options_.longTexts;
    const double supply = wave(t, 11.80, 13.60, 24);
    const double room = wave(t, 19.0, 26.0, 36);
    const double humidity = wave(t, 35, 80, 30);
    const double outdoor = wave(t, -6.5, 4.5, 44);
    const std::string readings[8] = {
        format("%.2fV", supply),  format("%.1f'C", room),   format("%.0f%%", humidity), format("%.1f'C", outdoor),
        format("%.2fV", 3.30 + static_cast<double>(t % 3) * 0.01), format("%.1fV", wave(t, 0, 24, 16)), format("%.1f'C", wave(t, 40, 65, 20)),
        format("%.0f%%", wave(t, 20, 60, 12)),
    };
    std::string oscillating;
    if (options_.oscillateLine > 0) {
        const bool high = ((t - 1) / std::max(1L, options_.oscillateEvery)) % 2 == 0;
        oscillating = format("%.1f", high ? options_.oscillateHigh : options_.oscillateLow);
    }
    // Alarm states come and go with the readings.
    int low = 0, high = 0;
    if (supply < 12.0) low |= 1 << 0;
    if (room > 24.5) high |= 1 << 1;
    if (humidity > 75) high |= 1 << 2;
    if (outdoor < -4.0) low |= 1 << 3;
    const int alarm = (low | high) != 0 ? 1 : 0;
    const int outputs = alarm | static_cast<int>((t / 4) % 2) << 1 | (t % 6 == 0 ? 1 << 5 : 0);  // 0 or 1, shifted
    const int gsm = t % 13 == 12 ? 99 : 14 + static_cast<int>(t % 17);
    const int network = gsm == 99 ? 0 : 1;
    const int sms = static_cast<int>(t / 7), email = static_cast<int>(t / 11);
    // Two-state extended lines: XL5..XL8 follow a rotating pattern (one HIGH, three LOW),
    // XL16 reports both states at once; XL1..XL4 carry readings in "MSRX=".
    const int pattern = 0x10 << (t % 4);
    const int extLowFirst = 0xF0 & ~pattern, extHighFirst = pattern, extLowSecond = 0x80, extHighSecond = 0x80;

    std::string reply = "MSR=";
    for (int i = 0; i < 8; ++i)
        reply += (i + 1 == options_.oscillateLine ? oscillating : readings[i]) + (longTexts && i == 0 ? kLongTail : "") + " ";
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%d %d %d %d %d %d %d %d %d %d %d %d %d %d %d", low, high, alarm, outputs, gsm,
                  network, sms, 0, 0, email, options_.extMode, extLowFirst, extLowSecond, extHighFirst, extHighSecond);
    reply += numbers;
    if (faulty() && options_.hugeLine) reply.insert(4, std::string(200 * 1024, 'X'));
    if (faulty() && options_.fewFields) {
        // Only the eight readings and the first four numbers.
        std::size_t end = 4;
        for (int field = 0; field < 12; ++field) end = reply.find(' ', end) + 1;
        reply.resize(end - 1);
    }
    return reply + "\r";
}

std::string MonitorCommands::extendedReply() const {
    const long t = poll_;
    const bool longTexts = faulty() && options_.longTexts;
    std::string reply = "MSRX=" + format("%.1f'C", wave(t, 18.0, 23.0, 28)) + (longTexts ? kLongTail : "") +
                        " " + format("%.0f%%", wave(t, 40, 70, 18)) + " GND VCC";
    for (int i = 4; i < 16; ++i) reply += " 0";
    return reply + "\r";
}

std::optional<Answer> MonitorCommands::answer(std::string_view line, Session&) {
    if (line == "MSR?") {
        ++poll_;
        if (options_.silentFirst > 0 && poll_ >= options_.silentFirst && poll_ <= options_.silentLast) {
            Answer quiet;
            quiet.silent = true;
            return quiet;
        }
        if (faulty() && options_.wrongReply) return Answer{"ERROR\r"};
        return Answer{measurementReply()};
    }
    if (line == "MSRX?") return Answer{extendedReply()};
    return std::nullopt;
}

std::vector<SimFlag> monitorFlags() {
    return {
        {"--ext-mode", "N", "extended-line state reported by MSR? (0 none, 1 masks, 2 or 3 unknown; default 1)",
         [](SimOptions& o, const std::string& v) {
             if (v.size() != 1 || v[0] < '0' || v[0] > '9') return std::string("expects a digit 0..9");
             o.monitor.extMode = v[0] - '0';
             return std::string();
         }},
        {"--msr-wrong", nullptr, "answer MSR? with a line that does not begin with MSR=",
         [](SimOptions& o, const std::string&) { o.monitor.wrongReply = true; return std::string(); }},
        {"--msr-few-fields", nullptr, "answer MSR? with only 12 of its 23 fields",
         [](SimOptions& o, const std::string&) { o.monitor.fewFields = true; return std::string(); }},
        {"--msr-huge-line", nullptr, "answer MSR? with a 200 kB first reading before the rest of the line",
         [](SimOptions& o, const std::string&) { o.monitor.hugeLine = true; return std::string(); }},
        {"--msr-long-texts", nullptr, "readings longer than 15 characters in MSR= and MSRX=",
         [](SimOptions& o, const std::string&) { o.monitor.longTexts = true; return std::string(); }},
        {"--msr-faulty-polls", "N:M", "the MSR faults apply only to polls N..M (M 0: to the end)",
         [](SimOptions& o, const std::string& v) {
             long first = 0, last = 0;
             if (!numberPair(v, first, last) || first < 1 || last < 0)
                 return std::string("expects N:M, e.g. 2:14");
             o.monitor.firstFaultyPoll = first;
             o.monitor.lastFaultyPoll = last;
             return std::string();
         }},
        {"--oscillate", "L:LOW:HIGH[:K]", "line L's reading swings between LOW and HIGH, changing every K polls (default 1)",
         [](SimOptions& o, const std::string& v) {
             int line = 0;
             double low = 0, high = 0;
             long every = 1;
             char tail = 0;
             const int n = std::sscanf(v.c_str(), "%d:%lf:%lf:%ld%c", &line, &low, &high, &every, &tail);
             if ((n != 3 && n != 4) || line < 1 || line > 8 || every < 1)
                 return std::string("expects L:LOW:HIGH[:K], e.g. 3:40:55");
             o.monitor.oscillateLine = line;
             o.monitor.oscillateLow = low;
             o.monitor.oscillateHigh = high;
             o.monitor.oscillateEvery = every;
             return std::string();
         }},
        {"--msr-silent-polls", "N:M", "give no answer at all to MSR? polls N..M (a module out of reach for a while)",
         [](SimOptions& o, const std::string& v) {
             long first = 0, last = 0;
             if (!numberPair(v, first, last) || first < 1 || last < first) return std::string("expects N:M, e.g. 10:28");
             o.monitor.silentFirst = first;
             o.monitor.silentLast = last;
             return std::string();
         }},
    };
}

} // namespace kavrel::sim
