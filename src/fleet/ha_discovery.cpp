#include "fleet/ha_discovery.h"

#include <cstdio>

#include "common/json_text.h"

namespace kavrel::fleet {
namespace {

// The hub's device class of a unit; "" when it has none.
struct UnitClass {
    const char* unit;
    const char* deviceClass;
    const char* stateClass;
};
constexpr UnitClass kUnitClasses[] = {
    {"°C", "temperature", "measurement"}, {"%", "humidity", "measurement"}, {"V", "voltage", "measurement"},
    {"A", "current", "measurement"},      {"W", "power", "measurement"},    {"VA", "apparent_power", "measurement"},
    {"Hz", "frequency", "measurement"},   {"kWh", "energy", "total_increasing"}, {"Wh", "energy", "total_increasing"},
};

const UnitClass* classOf(const std::string& unit) {
    for (const UnitClass& c : kUnitClasses)
        if (unit == c.unit) return &c;
    return nullptr;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// What every entity of the module shares: where its values and availability come from, its device.
struct ModuleTopics {
    std::string id, state, availability, device;
};

ModuleTopics topicsOf(const FleetModule& module) {
    ModuleTopics t;
    t.id = discoveryId(module.name);
    t.state = "kavrel/" + module.name + "/pomiar";
    t.availability = "kavrel/" + module.name + "/stan";
    t.device = "{\"identifiers\":[\"" + t.id + "\"],\"name\":" + jsonString(module.name) +
               ",\"manufacturer\":\"Kavrel\",\"model\":\"moduł telemetryczny GSM\"}";
    return t;
}

// One entity's message. `extra` holds its own keys, each preceded by a comma.
SpooledMessage entity(const ModuleTopics& t, const char* component, const std::string& object, const std::string& name,
                      const std::string& valueTemplate, const std::string& extra) {
    const std::string unique = t.id + "_" + object;
    std::string payload = "{\"name\":" + jsonString(name) + ",\"unique_id\":\"" + unique + "\",\"object_id\":\"" + unique +
                          "\",\"state_topic\":" + jsonString(t.state) + ",\"value_template\":" + jsonString(valueTemplate) +
                          extra + ",\"availability_topic\":" + jsonString(t.availability) +
                          ",\"availability_template\":\"{{ 'online' if value == 'online' else 'offline' }}\"" +
                          ",\"device\":" + t.device + "}";
    return {std::string(kDiscoveryPrefix) + "/" + component + "/" + t.id + "/" + object + "/config", payload, true};
}

void lineEntities(std::vector<SpooledMessage>& out, const ModuleTopics& t, const LineValue& line, const char* array,
                  std::size_t index) {
    const std::string object = lower(line.id);
    const std::string at = std::string("value_json.") + array + "[" + std::to_string(index) + "]";
    if (line.number) {
        std::string extra;
        if (!line.unit.empty()) extra += ",\"unit_of_measurement\":" + jsonString(line.unit);
        const UnitClass* c = classOf(line.unit);
        if (c) extra += std::string(",\"device_class\":\"") + c->deviceClass + "\"";
        extra += std::string(",\"state_class\":\"") + (c ? c->stateClass : "measurement") + "\"";
        out.push_back(entity(t, "sensor", object, line.name, "{{ " + at + ".wartosc }}", extra));
    }
    if (!line.state.empty())
        out.push_back(entity(t, "sensor", object + "_stan", line.name + " stan", "{{ " + at + ".stan }}", ""));
}

} // namespace

std::string discoveryId(const std::string& moduleName) {
    std::string id = "kavrel_";
    for (unsigned char c : moduleName) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
            id += static_cast<char>(c);
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "_%02X", c);
            id += hex;
        }
    }
    return id;
}

std::vector<SpooledMessage> discoveryMessages(const PollValues& values, const FleetModule& module) {
    const ModuleTopics t = topicsOf(module);
    std::vector<SpooledMessage> out;
    for (std::size_t i = 0; i < values.lines.size(); ++i) lineEntities(out, t, values.lines[i], "linie", i);
    if (values.extendedMode != 0)
        for (std::size_t i = 0; i < values.extended.size(); ++i) lineEntities(out, t, values.extended[i], "linie_xl", i);
    out.push_back(entity(t, "binary_sensor", "alarm", "Alarm", "{{ 'ON' if value_json.alarm else 'OFF' }}", ""));
    out.push_back(entity(t, "sensor", "gsm", "GSM", "{{ value_json.gsm }}", ",\"state_class\":\"measurement\""));
    return out;
}

std::vector<SpooledMessage> HaDiscovery::changed(const PollRecord& record, const FleetModule& module) {
    if (!record.measurement || record.module >= sent_.size()) return {};
    const std::vector<SpooledMessage> now = discoveryMessages(pollValues(record, module.settings), module);
    std::map<std::string, std::string>& sent = sent_[record.module];
    bool same = sent.size() == now.size();
    for (const SpooledMessage& m : now) {
        const auto found = sent.find(m.topic);
        same = same && found != sent.end() && found->second == m.payload;
    }
    if (same) return {};
    std::vector<SpooledMessage> out = now;
    std::map<std::string, std::string> next;
    for (const SpooledMessage& m : now) next[m.topic] = m.payload;
    for (const auto& [topic, payload] : sent)
        if (!next.count(topic)) out.push_back({topic, "", true});   // an entity that is gone
    sent = std::move(next);
    return out;
}

} // namespace kavrel::fleet
