#include "sim/sim_flags.h"

namespace kavrel::sim {
namespace {

std::string number(const std::string& text, int minimum, int& target) {
    int value = 0;
    if (!wholeNumber(text, value) || value < minimum) return "expects a whole number of at least " + std::to_string(minimum);
    target = value;
    return "";
}

} // namespace

std::vector<SimFlag> linkFlags() {
    return {
        {"--version", "TEXT", "version text answered to VER? (default \"Kavrel V3.6EL\")",
         [](SimOptions& o, const std::string& v) { o.versionText = v; return std::string(); }},
        {"--baud", "N", "pace the pseudo-terminal's output at N baud (10 bits a byte)",
         [](SimOptions& o, const std::string& v) { return number(v, 1, o.baud); }},
        {"--silent", nullptr, "answer nothing at all",
         [](SimOptions& o, const std::string&) { o.faults.silent = true; return std::string(); }},
        {"--cut-listeners", "AFTER:FOR", "TCP: AFTER ms after the start refuse connections for FOR ms (existing ones cut)",
         [](SimOptions& o, const std::string& v) {
             int after = 0, span = 0;
             if (!numberPair(v, after, span) || after < 0 || span < 1) return std::string("expects AFTER:FOR in ms, e.g. 5000:60000");
             o.faults.cutListenersAfterMs = after;
             o.faults.cutListenersForMs = span;
             return std::string();
         }},
        {"--silent-on", "CMD", "give no answer to lines starting with CMD (repeatable)",
         [](SimOptions& o, const std::string& v) { o.faults.silentCommands.push_back(v); return std::string(); }},
        {"--ignore-first", "N", "give no answer to the first N lines received (over all connections, as a module waking up)",
         [](SimOptions& o, const std::string& v) { return number(v, 0, o.faults.ignoreFirstLines); }},
        {"--split", "N:MS", "send every answer in pieces of N bytes, MS milliseconds apart",
         [](SimOptions& o, const std::string& v) {
             int bytes = 0, delay = 0;
             if (!numberPair(v, bytes, delay) || bytes < 1 || delay < 0)
                 return std::string("expects N:MS, e.g. 3:300");
             o.faults.splitBytes = bytes;
             o.faults.splitDelayMs = delay;
             return std::string();
         }},
        {"--reply-delay", "MS", "send every answer MS milliseconds late (a slow module or link)",
         [](SimOptions& o, const std::string& v) { return number(v, 0, o.faults.replyDelayMs); }},
        {"--delay", "MS[:JITTER]", "a slow link's round trip: send every answer MS milliseconds late, give or take "
                                   "up to JITTER percent of it (uniformly, drawn anew for each answer)",
         [](SimOptions& o, const std::string& v) {
             int delay = 0, jitter = 0;
             const bool read = v.find(':') == std::string::npos ? wholeNumber(v, delay) : numberPair(v, delay, jitter);
             if (!read || delay < 0 || jitter < 0 || jitter > 100) return std::string("expects MS or MS:JITTER, e.g. 800:30");
             o.faults.replyDelayMs = delay;
             o.faults.replyJitterPercent = jitter;
             return std::string();
         }},
        {"--seed", "N", "seed of the random draws (the jitter of --delay; default 1), so that a run can be repeated",
         [](SimOptions& o, const std::string& v) {
             return wholeNumber(v, o.seed) ? std::string() : std::string("expects a whole number");
         }},
        {"--bad-serial-start", nullptr, "begin serial answers with CR LF instead of \"OK\"",
         [](SimOptions& o, const std::string&) { o.faults.badSerialStart = true; return std::string(); }},
        {"--close-mid-reply", "CMD", "TCP: drop the connection halfway through the answer to CMD (repeatable)",
         [](SimOptions& o, const std::string& v) { o.faults.closeMidReply.push_back(v); return std::string(); }},
        {"--cut-at", "N", "cut the link once, after the N-th command of a configuration write (TCP closes, "
                          "the pseudo-terminal hangs up and a new one opens)",
         [](SimOptions& o, const std::string& v) { return number(v, 1, o.faults.cutAtWriteCommand); }},
        {"--line-log", "FILE", "append every line received to FILE as it comes in (scripts wait on it)",
         [](SimOptions& o, const std::string& v) {
             if (v.empty()) return std::string("needs a file name");
             o.lineLogFile = v;
             return std::string();
         }},
        {"--trailing", "crlf|lf", "send CR LF or LF a few ms after every other answer ending in \"OK\" CR",
         [](SimOptions& o, const std::string& v) {
             if (v != "crlf" && v != "lf") return std::string("expects crlf or lf");
             o.faults.trailingAfterOk = v == "crlf" ? "\r\n" : "\n";
             return std::string();
         }},
    };
}

std::vector<SimFlag> allSimFlags() {
    std::vector<SimFlag> flags;
    for (auto group : {linkFlags, configFlags, monitorFlags, memoryFlags}) {
        auto more = group();
        flags.insert(flags.end(), more.begin(), more.end());
    }
    return flags;
}

} // namespace kavrel::sim
