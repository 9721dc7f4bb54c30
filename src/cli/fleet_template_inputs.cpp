#include "cli/fleet_template_inputs.h"

#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "common/file_names.h"
#include "config/model/settings_file.h"
#include "fleet/rollout/config_drift.h"

namespace kavrel::cli {
namespace {

bool readText(const std::string& path, std::string& text) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool isFile(const std::string& path) {
    std::error_code problem;
    return std::filesystem::is_regular_file(pathFromUtf8(path), problem);
}

} // namespace

std::string fieldKeys(const config::FieldSelection& fields) {
    std::string keys;
    for (const config::ElementRef& element : fields.elements) keys += (keys.empty() ? "" : ",") + element.key;
    return keys;
}

bool loadTemplateInputs(CliContext& context, const std::string& command, TemplateInputs& inputs, bool allFields) {
    std::size_t size = 0;
    if (config::loadSettingsFile(inputs.templatePath, inputs.templ, &size) != FileResult::Ok || size == 0) {
        context.err << command << ": nie można odczytać szablonu " << inputs.templatePath << "\n";
        return false;
    }
    if (inputs.fieldsArgument.empty()) {
        if (!allFields) {
            context.err << command << ": podaj pola szablonu: --fields KLUCZ,KLUCZ,... albo plik kluczy\n";
            return false;
        }
        inputs.fields = fleet::everyTemplateField();
    } else {
        std::string text = inputs.fieldsArgument;
        std::string source = "--fields";
        if (isFile(inputs.fieldsArgument)) {
            source = inputs.fieldsArgument;
            if (!readText(source, text)) {
                context.err << command << ": nie można odczytać " << source << "\n";
                return false;
            }
        }
        const config::FieldListParse parse = config::parseFieldList(text, source);
        if (!parse.error.empty()) {
            context.err << command << ": " << parse.error << "\n";
            return false;
        }
        inputs.fields = parse.selection;
    }
    if (!inputs.valuesPath.empty()) {
        std::string text;
        if (!readText(inputs.valuesPath, text)) {
            context.err << command << ": nie można odczytać " << inputs.valuesPath << "\n";
            return false;
        }
        config::ValuesParse parse = config::parseModuleValues(text, inputs.fields, inputs.valuesPath);
        if (!parse.error.empty()) {
            context.err << command << ": " << parse.error << "\n";
            return false;
        }
        inputs.values = std::move(parse.byModule);
    }
    if (inputs.hostsPath.empty()) return true;
    const fleet::FleetList fleet = fleet::loadFleetList(pathFromUtf8(inputs.hostsPath));
    if (!fleet.error.empty()) {
        context.err << command << ": " << fleet.error << "\n";
        return false;
    }
    inputs.modules = fleet.modules;
    std::set<std::string> names;
    for (const auto& module : inputs.modules) names.insert(module.name);
    for (const auto& [name, values] : inputs.values)
        if (!names.contains(name)) {
            context.err << command << ": " << inputs.valuesPath << ": modułu " << name << " nie ma w " << inputs.hostsPath
                        << "\n";
            return false;
        }
    return true;
}

} // namespace kavrel::cli
