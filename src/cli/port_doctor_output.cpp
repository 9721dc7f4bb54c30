#include "cli/port_doctor_output.h"

#include <cstdio>
#include <ostream>

#include "cli/commands.h"
#include "cli/json_output.h"

namespace kavrel::cli {
namespace {

std::optional<std::string> optionalText(const std::string& text) {
    return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

JsonObject& addNumber(JsonObject& object, std::string_view key, const std::optional<long long>& number) {
    return number ? object.add(key, *number) : object.addRaw(key, "null");
}

std::string portJson(const link::PortDiagnosis& port) {
    const link::PortFacts& facts = port.facts;
    std::string usbId;
    if (facts.vendorId && facts.productId) {
        char text[10];
        std::snprintf(text, sizeof(text), "%04x:%04x", unsigned{*facts.vendorId}, unsigned{*facts.productId});
        usbId = text;
    }
    std::string findings = "[";
    for (const link::PortFinding& finding : port.findings) {
        JsonObject item;
        item.add("level", std::string(link::findingLevelWord(finding.level)))
            .add("text", finding.text)
            .add("remedy", optionalText(finding.remedy));
        findings += (findings.size() > 1 ? "," : "") + item.text();
    }
    JsonObject object;
    object.add("device", facts.device)
        .add("description", optionalText(facts.description))
        .add("present", facts.present)
        .add("usbId", optionalText(usbId))
        .add("driver", optionalText(facts.driver))
        .add("driverProvider", optionalText(facts.driverProvider))
        .add("driverVersion", optionalText(facts.driverVersion));
    addNumber(object, "comNumber", facts.comNumber ? std::optional<long long>(*facts.comNumber) : std::nullopt);
    addNumber(object, "problemCode", facts.problemCode ? std::optional<long long>(*facts.problemCode) : std::nullopt);
    addNumber(object, "latencyMs", facts.latencyMs ? std::optional<long long>(*facts.latencyMs) : std::nullopt);
    object.add("group", optionalText(facts.groupName)).add("heldBy", optionalText(facts.heldBy)).addRaw("findings", findings + "]");
    return object.text();
}

} // namespace

int printPortDoctor(CliContext& context, const std::vector<link::PortDiagnosis>& diagnoses, bool json) {
    if (!json) {
        context.out << link::portDoctorReport(diagnoses);
        return kExitOk;
    }
    std::string list = "[";
    for (const link::PortDiagnosis& port : diagnoses) list += (list.size() > 1 ? "," : "") + portJson(port);
    context.out << JsonObject().addRaw("ports", list + "]").text() << "\n";
    return kExitOk;
}

} // namespace kavrel::cli
