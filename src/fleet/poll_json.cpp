#include "fleet/poll_json.h"

#include <cmath>
#include <cstdio>

#include "common/json_text.h"
#include "fleet/poll_values.h"

namespace kavrel::fleet {
namespace {

std::string jsonNumber(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string lineJson(const LineValue& line) {
    std::string out = "{\"id\":\"" + line.id + "\",\"nazwa\":" + jsonString(line.name);
    if (line.number) out += ",\"wartosc\":" + jsonNumber(*line.number);
    if (!line.unit.empty()) out += ",\"jednostka\":" + jsonString(line.unit);
    out += ",\"tekst\":" + jsonString(line.text);
    if (!line.state.empty()) out += ",\"stan\":" + jsonString(line.state);
    return out + "}";
}

const char* boolean(bool value) { return value ? "true" : "false"; }

} // namespace

std::string pollJson(const PollRecord& record, const FleetModule& module) {
    std::string out = "{\"modul\":" + jsonString(module.name) + ",\"czas\":\"" + utcText(record.started) +
                      "\",\"nr\":" + std::to_string(record.sequence) + ",\"wynik\":\"" + outcomeText(record.outcome) + "\"";
    if (!record.measurement) return out + "}";
    const monitor::MeasurementSnapshot& m = *record.measurement;
    const PollValues values = pollValues(record, module.settings);
    out += ",\"linie\":[";
    for (std::size_t i = 0; i < values.lines.size(); ++i) out += (i ? "," : "") + lineJson(values.lines[i]);
    out += "],\"wyjscia\":[";
    for (int i = 0; i < monitor::kOutputLines; ++i) out += std::string(i ? "," : "") + boolean((m.outputs >> i) & 1);
    out += std::string("],\"alarm\":") + boolean(m.alarm != 0) + ",\"gsm\":" + std::to_string(m.gsmSignal) +
           ",\"siec\":" + boolean(m.gsmNetwork != 0) + ",\"sms\":" + std::to_string(m.smsCount) +
           ",\"email\":" + std::to_string(m.emailCount);
    if (values.extendedMode != 0) {
        out += ",\"linie_xl\":[";
        for (std::size_t i = 0; i < values.extended.size(); ++i) out += (i ? "," : "") + lineJson(values.extended[i]);
        out += "]";
    }
    return out + "}";
}

} // namespace kavrel::fleet
