// kavrel fleet config drift: a module × field table of where a fleet differs from a
// template, read from the modules or from the fleet service's latest backups.
#include <ostream>

#include "cli/commands.h"
#include "cli/fleet_config.h"
#include "cli/fleet_template_inputs.h"
#include "cli/json_output.h"
#include "common/file_names.h"
#include "fleet/rollout/config_drift.h"

namespace kavrel::cli {
namespace {

constexpr const char* kDrift = "kavrel fleet config drift";

struct DriftOptions {
    TemplateInputs inputs;
    std::string backups;
    std::string format = "text";
    int timeoutMs = 0;
    int parallel = 8;
};

std::string parseDrift(std::span<const std::string> args, DriftOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--json") o.format = "json";
        else if (arg == "--csv") o.format = "csv";
        else if (arg == "--format" && hasValue && (args[i + 1] == "text" || args[i + 1] == "csv" || args[i + 1] == "json"))
            o.format = args[++i];
        else if (arg == "--hosts" && hasValue) o.inputs.hostsPath = args[++i];
        else if (arg == "--fields" && hasValue) o.inputs.fieldsArgument = args[++i];
        else if (arg == "--values" && hasValue) o.inputs.valuesPath = args[++i];
        else if (arg == "--from-backups" && hasValue) o.backups = args[++i];
        else if (arg == "--timeout" && hasValue) {
            try {
                o.timeoutMs = std::stoi(args[++i]);
            } catch (const std::exception&) {
                o.timeoutMs = 0;
            }
            if (o.timeoutMs < 1) return "drift: --timeout przyjmuje milisekundy";
        } else if (o.inputs.templatePath.empty() && arg.rfind("--", 0) != 0) o.inputs.templatePath = arg;
        else return "drift: nieoczekiwany albo niepoprawny argument " + arg;
    }
    if (o.inputs.templatePath.empty()) return "drift wymaga SZABLON.kvl";
    if (o.inputs.hostsPath.empty() && o.backups.empty()) return "drift wymaga --hosts FLOTA.txt albo --from-backups FOLDER";
    return "";
}

// CSV fields: quoted when they hold the separator, a quote or a line end.
std::string csvField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void printText(CliContext& context, const std::vector<fleet::DriftModule>& modules) {
    for (const auto& m : modules) {
        if (!m.error.empty()) context.out << m.name << ": błąd: " << m.error << "\n";
        for (const auto& d : m.differences)
            context.out << m.name << "  " << d.key << " (" << d.caption << "): szablon " << d.before << ", moduł "
                        << d.after << "\n";
    }
}

void printCsv(CliContext& context, const std::vector<fleet::DriftModule>& modules) {
    context.out << "moduł;pole;szablon;moduł;źródło\n";
    for (const auto& m : modules) {
        if (!m.error.empty()) context.out << csvField(m.name) << ";;;;" << csvField("błąd: " + m.error) << "\n";
        for (const auto& d : m.differences)
            context.out << csvField(m.name) << ";" << csvField(d.key) << ";" << csvField(d.before) << ";"
                        << csvField(d.after) << ";" << csvField(m.source) << "\n";
    }
}

void printJson(CliContext& context, const std::vector<fleet::DriftModule>& modules, std::size_t total) {
    std::string list = "[";
    for (const auto& m : modules) {
        std::string differences = "[";
        for (const auto& d : m.differences) {
            if (differences.size() > 1) differences += ",";
            differences += JsonObject().add("key", d.key).add("template", d.before).add("module", d.after).text();
        }
        if (list.size() > 1) list += ",";
        list += JsonObject()
                    .add("name", m.name)
                    .add("source", m.source)
                    .add("error", m.error.empty() ? std::optional<std::string>() : m.error)
                    .addRaw("differences", differences + "]")
                    .text();
    }
    context.out << JsonObject().add("differences", static_cast<long long>(total)).addRaw("modules", list + "]").text()
                << "\n";
}

} // namespace

int runFleetConfigDrift(CliContext& context, std::span<const std::string> args) {
    DriftOptions o;
    if (const std::string problem = parseDrift(args, o); !problem.empty()) {
        context.err << "kavrel fleet config: " << problem << "\n" << helpText(fleetConfigUsage());
        return kExitUsage;
    }
    if (!loadTemplateInputs(context, kDrift, o.inputs, true)) return kExitFailure;
    std::vector<fleet::DriftModule> modules;
    if (!o.backups.empty()) {
        std::vector<std::string> names;
        for (const auto& module : o.inputs.modules) names.push_back(module.name);
        modules = fleet::backupDrift(pathFromUtf8(o.backups), names, o.inputs.values, o.inputs.templ, o.inputs.fields);
    } else {
        fleet::RolloutInputs inputs;
        inputs.templ = o.inputs.templ;
        inputs.fields = o.inputs.fields;
        inputs.timeoutMs = o.timeoutMs;
        context.err << "Odczyt " << o.inputs.modules.size() << (o.inputs.modules.size() == 1 ? " modułu\n" : " modułów\n");
        modules = fleet::liveDrift(o.inputs.modules, o.inputs.values, inputs, o.parallel);
    }
    std::size_t total = 0, errors = 0;
    for (const auto& m : modules) {
        total += m.differences.size();
        if (!m.error.empty()) ++errors;
    }
    if (o.format == "json") printJson(context, modules, total);
    else if (o.format == "csv") printCsv(context, modules);
    else printText(context, modules);
    context.err << "Różnice: " << total << " w " << modules.size() << (modules.size() == 1 ? " module" : " modułach") << (errors ? ", nieodczytane: " : "")
                << (errors ? std::to_string(errors) : "") << "\n";
    return total == 0 && errors == 0 ? kExitOk : kExitFailure;
}

} // namespace kavrel::cli
