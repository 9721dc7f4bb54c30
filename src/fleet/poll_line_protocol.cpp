#include "fleet/poll_line_protocol.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "common/line_protocol.h"
#include "fleet/poll_values.h"

namespace kavrel::fleet {
namespace {

std::string floatText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

void appendLine(std::string& out, const LineValue& line, const std::string& tags, const std::string& stamp) {
    if (!line.number || !std::isfinite(*line.number)) return;
    out += "kavrel_odczyt" + tags + ",linia=" + lpKey(line.id);
    if (!line.name.empty()) out += ",nazwa=" + lpKey(line.name);
    if (!line.unit.empty()) out += ",jednostka=" + lpKey(line.unit);
    out += " wartosc=" + floatText(*line.number);
    if (!line.state.empty()) out += ",stan=" + lpString(line.state);
    out += stamp;
}

} // namespace

std::string pollLineProtocol(const PollRecord& record, const FleetModule& module) {
    if (record.outcome == Outcome::Skipped) return "";
    const long long ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(record.started.time_since_epoch()).count();
    const std::string tags = ",modul=" + lpKey(module.name);
    const std::string stamp = " " + std::to_string(ns) + "\n";
    std::string out = "kavrel_modul" + tags + " wynik=" + lpString(outcomeText(record.outcome)) +
                      ",czas_ms=" + std::to_string(record.durationMs) + "i";
    // 99: the module does not know its signal.
    if (record.measurement && record.measurement->gsmSignal != 99)
        out += ",gsm=" + std::to_string(record.measurement->gsmSignal) + "i";
    out += stamp;
    if (!record.measurement) return out;
    const PollValues values = pollValues(record, module.settings);
    for (const LineValue& line : values.lines) appendLine(out, line, tags, stamp);
    if (values.extendedMode != 0)
        for (const LineValue& line : values.extended) appendLine(out, line, tags, stamp);
    return out;
}

} // namespace kavrel::fleet
