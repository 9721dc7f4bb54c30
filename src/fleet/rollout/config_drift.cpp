#include "fleet/rollout/config_drift.h"

#include <algorithm>
#include <future>

#include "common/file_names.h"
#include "common/file_result.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"

namespace kavrel::fleet {
namespace {

const std::vector<config::ModuleValue>& valuesOf(const std::map<std::string, std::vector<config::ModuleValue>>& values,
                                                 const std::string& name) {
    static const std::vector<config::ModuleValue> none;
    const auto found = values.find(name);
    return found == values.end() ? none : found->second;
}

DriftModule readForDrift(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                         const RolloutInputs& inputs) {
    DriftModule drift;
    drift.name = module.name;
    drift.source = module.endpoint();
    config::SettingsImage record;
    const ModuleOutcome read = readModuleRecord(module, inputs, record);
    if (!read.detail.empty()) {
        drift.error = read.detail;
        return drift;
    }
    drift.differences = driftOf(record, inputs.templ, inputs.fields, values);
    return drift;
}

} // namespace

config::FieldSelection everyTemplateField() {
    config::FieldSelection selection;
    for (const config::FieldInfo& info : config::fieldTable()) {
        if (info.kind == config::FieldKind::Reserved || info.changesByItself) continue;
        for (int number = info.first; number <= info.last(); ++number)
            selection.elements.push_back({&info, number, config::fieldName(info, number)});
    }
    return selection;
}

std::vector<config::FieldChange> driftOf(const config::SettingsImage& record, const config::SettingsImage& templ,
                                         const config::FieldSelection& fields,
                                         const std::vector<config::ModuleValue>& values) {
    const config::SettingsImage target = config::templateTarget(record, templ, fields, values);
    return config::compareSettings(target, record, config::CompareMode::Values,
                                   [&](const config::FieldInfo& info, int number) {
                                       return !info.changesByItself && fields.includes(info, number);
                                   });
}

std::vector<DriftModule> liveDrift(const std::vector<FleetModule>& modules,
                                   const std::map<std::string, std::vector<config::ModuleValue>>& values,
                                   const RolloutInputs& inputs, int parallel) {
    std::vector<DriftModule> out;
    const std::size_t width = static_cast<std::size_t>(std::max(1, parallel));
    for (std::size_t start = 0; start < modules.size(); start += width) {
        std::vector<std::future<DriftModule>> running;
        for (std::size_t i = start; i < std::min(modules.size(), start + width); ++i)
            running.push_back(std::async(std::launch::async, readForDrift, modules[i], valuesOf(values, modules[i].name),
                                         inputs));
        for (auto& future : running) out.push_back(future.get());
    }
    return out;
}

std::vector<DriftModule> backupDrift(const std::filesystem::path& folder, std::vector<std::string> names,
                                     const std::map<std::string, std::vector<config::ModuleValue>>& values,
                                     const config::SettingsImage& templ, const config::FieldSelection& fields) {
    if (names.empty()) {
        std::error_code problem;
        for (const auto& entry : std::filesystem::directory_iterator(folder, problem))
            if (entry.is_directory(problem)) names.push_back(pathToUtf8(entry.path().filename()));
        std::sort(names.begin(), names.end());
    }
    std::vector<DriftModule> out;
    for (const std::string& name : names) {
        DriftModule drift;
        drift.name = name;
        const std::string moduleFolder = pathToUtf8(folder / pathFromUtf8(name));
        std::error_code problem;
        config::SettingsImage record;
        for (const config::BackupEntry& entry : config::listBackups(moduleFolder, &problem))   // newest first
            if (config::loadSettingsFile(entry.path, record) == FileResult::Ok) {
                drift.source = entry.path;
                break;
            }
        if (drift.source.empty()) drift.error = "brak kopii ustawień w " + moduleFolder;
        else drift.differences = driftOf(record, templ, fields, valuesOf(values, name));
        out.push_back(std::move(drift));
    }
    return out;
}

} // namespace kavrel::fleet
