#include "fleet/alarms/notification_text.h"

#include "common/json_text.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet::alarms {
namespace {

std::string labelsJson(const Labels& labels) {
    std::string out = "{";
    for (const auto& [k, v] : labels) out += (out.size() > 1 ? "," : "") + jsonString(k) + ":" + jsonString(v);
    return out + "}";
}

std::string labelsText(const Labels& labels) {
    std::string out;
    for (const auto& [k, v] : labels) out += (out.empty() ? "" : ", ") + k + "=" + v;
    return out;
}

std::string when(long long ms) { return utcText(WallTime(std::chrono::milliseconds(ms))); }

std::string alertJson(const AlertNote& a) {
    std::string out = "{\"module\":" + jsonString(a.module) + ",\"labels\":" + labelsJson(a.labels) +
                      ",\"rule\":" + jsonString(a.rule) + ",\"state\":" + jsonString(noteStateText(a.state)) +
                      ",\"since\":" + jsonString(when(a.sinceMs)) + ",\"values\":" + a.values +
                      ",\"readings\":" + a.readings + ",\"self_reported\":" + (a.selfReported ? "true" : "false");
    if (!a.modules.empty()) {
        out += ",\"unreachable_modules\":[";
        for (std::size_t i = 0; i < a.modules.size(); ++i) out += (i ? "," : "") + jsonString(a.modules[i]);
        out += "]";
    }
    return out + "}";
}

std::string alertSubject(const AlertNote& a) {
    if (a.module.empty()) return std::string("brak łączności z modułami: ") + noteStateLabel(a.state);
    return a.module + ": " + a.rule + ": " + noteStateLabel(a.state);
}

std::string alertBody(const AlertNote& a) {
    std::string out;
    out += a.module.empty() ? "Łączność z flotą" : "Moduł: " + a.module;
    if (!a.labels.empty()) out += " (" + labelsText(a.labels) + ")";
    out += "\nReguła: " + a.rule + "\nStan: " + noteStateLabel(a.state) + "\nOd: " + localText(a.sinceMs) + "\n";
    out += "Wartości: " + a.values + "\n";
    if (a.readings != "{}") out += "Ostatnie odczyty: " + a.readings + "\n";
    if (a.selfReported) out += "Moduł powiadamia o tym stanie także sam (SMS).\n";
    if (!a.modules.empty()) {
        out += "Nie odpowiadają (" + std::to_string(a.modules.size()) + "):";
        for (const auto& m : a.modules) out += " " + m;
        out += "\n";
    }
    return out;
}

} // namespace

RenderedNotification renderNotification(const Notification& n, long long id) {
    RenderedNotification r;
    const AlertNote& first = n.alerts.front();
    if (n.alerts.size() == 1) {
        r.subject = alertSubject(first);
    } else {
        const std::size_t count = n.alerts.size();
        const bool few = count % 10 >= 2 && count % 10 <= 4 && (count % 100 < 12 || count % 100 > 14);
        r.subject = std::to_string(count) + (few ? " alarmy" : " alarmów");
        if (!n.group.empty()) r.subject += " (" + labelsText(n.group) + ")";
        r.subject += ": " + alertSubject(first) + " ...";
    }
    // The first alert's fields at the top, so that a receiver of one alert reads them
    // directly; every alert of the group in "alerts".
    r.json = "{\"id\":" + std::to_string(id) + ",\"created\":" + jsonString(when(n.createdMs)) +
             ",\"group\":" + labelsJson(n.group);
    const std::string head = alertJson(first);
    r.json += "," + head.substr(1, head.size() - 2) + ",\"alerts\":[";
    for (std::size_t i = 0; i < n.alerts.size(); ++i) {
        r.json += (i ? "," : "") + alertJson(n.alerts[i]);
        r.body += (i ? "\n" : "") + alertBody(n.alerts[i]);
        if (!n.alerts[i].module.empty())
            r.mqtt.push_back({"kavrel/" + n.alerts[i].module + "/alarm", alertJson(n.alerts[i])});
    }
    r.json += "]}";
    return r;
}

} // namespace kavrel::fleet::alarms
