// The lines of the lp and jsonl exports, one record at a time.
//
// Line protocol: a "P" record gives one point per input line in "kavrel_pomiar" (tags
// modul, linia, nazwa, jednostka; field wartosc) and one point of its state in
// "kavrel_stan"; an "X" record one point per extended line in "kavrel_rozszerzone"; a "Z"
// record one point in "kavrel_zdarzenie". Every point has the fields nr and poprawny.
// JSON Lines: one object per record with the same names.
#include "common/json_text.h"
#include "common/line_protocol.h"
#include "logger/export/point_file.h"

namespace kavrel::logger {
namespace {

// The reading as a number: "30%" is 30; none for a value that is no number ("???").
std::optional<std::string> numberOf(std::string text) {
    if (!text.empty() && text.back() == '%') text.pop_back();
    if (!lpPlainNumber(text)) return std::nullopt;
    return text;
}

std::string lpTags(const RecordPoint& point) {
    return point.module.empty() ? std::string() : ",modul=" + lpKey(point.module);
}

std::string lpTail(const RecordPoint& point) {
    return ",nr=" + std::to_string(point.number) + "i,poprawny=" + (point.correct ? "true" : "false") + " " +
           std::to_string(point.unixNs) + "\n";
}

std::string lpStateValue(const std::string& value) { return lpWholeNumber(value) ? value + "i" : lpString(value); }

std::string jsonStateValue(const std::string& value) { return lpWholeNumber(value) ? value : jsonString(value); }

} // namespace

std::string lineProtocolPoint(const RecordPoint& point) {
    std::string out;
    const std::string measurement = point.event ? "kavrel_zdarzenie"
                                    : std::string(point.kind) == "pomiar" ? "kavrel_pomiar"
                                                                          : "kavrel_rozszerzone";
    for (const PointReading& r : point.readings) {
        const auto value = numberOf(r.text);
        if (!value) continue;
        out += measurement + lpTags(point) + ",linia=" + lpKey(r.id);
        if (!r.name.empty()) out += ",nazwa=" + lpKey(r.name);
        if (!r.unit.empty()) out += ",jednostka=" + lpKey(r.unit);
        out += " wartosc=" + *value + lpTail(point);
    }
    if (!point.states.empty()) {
        out += "kavrel_stan" + lpTags(point) + " ";
        for (std::size_t i = 0; i < point.states.size(); ++i)
            out += (i ? "," : "") + lpKey(point.states[i].first) + "=" + lpStateValue(point.states[i].second);
        out += lpTail(point);
    }
    if (point.event) {
        const PointEvent& e = *point.event;
        out += measurement + lpTags(point) + " kod=" + std::to_string(e.code) + "i,nazwa=" + lpString(e.name) +
               ",p1=" + std::to_string(e.p1) + "i,p2=" + std::to_string(e.p2) + "i,p3=" + std::to_string(e.p3) +
               "i,tekst=" + lpString(e.text) + lpTail(point);
    }
    return out;
}

std::string jsonLinesPoint(const RecordPoint& point) {
    std::string out = "{\"rodzaj\":\"" + std::string(point.kind) + "\"";
    if (!point.module.empty()) out += ",\"modul\":" + jsonString(point.module);
    out += ",\"nr\":" + std::to_string(point.number) + ",\"czas\":\"" + point.isoTime +
           "\",\"czas_ns\":" + std::to_string(point.unixNs) + ",\"poprawny\":" + (point.correct ? "true" : "false");
    if (!point.readings.empty()) {
        out += ",\"linie\":[";
        for (std::size_t i = 0; i < point.readings.size(); ++i) {
            const PointReading& r = point.readings[i];
            out += std::string(i ? "," : "") + "{\"id\":\"" + r.id + "\",\"nazwa\":" + jsonString(r.name);
            if (!r.unit.empty()) out += ",\"jednostka\":" + jsonString(r.unit);
            if (const auto value = numberOf(r.text)) out += ",\"wartosc\":" + *value;
            out += ",\"tekst\":" + jsonString(r.text) + "}";
        }
        out += "]";
    }
    if (!point.states.empty()) {
        out += ",\"stan\":{";
        for (std::size_t i = 0; i < point.states.size(); ++i)
            out += (i ? "," : "") + jsonString(point.states[i].first) + ":" + jsonStateValue(point.states[i].second);
        out += "}";
    }
    if (point.event) {
        const PointEvent& e = *point.event;
        out += ",\"zdarzenie\":{\"kod\":" + std::to_string(e.code) + ",\"nazwa\":" + jsonString(e.name) +
               ",\"p1\":" + std::to_string(e.p1) + ",\"p2\":" + std::to_string(e.p2) + ",\"p3\":" + std::to_string(e.p3) +
               ",\"tekst\":" + jsonString(e.text) + "}";
    }
    return out + "}\n";
}

} // namespace kavrel::logger
