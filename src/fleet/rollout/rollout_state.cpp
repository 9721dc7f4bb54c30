#include "fleet/rollout/rollout_state.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "common/append_line.h"
#include "common/file_names.h"
#include "common/json_reader.h"
#include "common/json_text.h"

namespace kavrel::fleet {
namespace {

std::string number(long long value) { return std::to_string(value); }

bool append(const std::string& path, const std::string& line) {
    return !path.empty() && appendLineDurably(pathFromUtf8(path), line);
}

RolloutSettings settingsOf(const JsonValue& line) {
    RolloutSettings s;
    s.run = line["run"].text();
    s.created = line["created"].text();
    s.templatePath = line["template"].text();
    s.templateHash = line["templateHash"].text();
    s.fields = line["fields"].text();
    s.valuesPath = line["values"].text();
    s.hostsPath = line["hosts"].text();
    s.plan.canary = static_cast<std::size_t>(line["canary"].number());
    s.plan.batch = static_cast<std::size_t>(line["batch"].number());
    s.plan.batchPercent = static_cast<int>(line["batchPercent"].number());
    s.plan.stopAtPercent = static_cast<int>(line["stopAt"].number(10));
    s.yes = line["yes"].boolean();
    s.timeoutMs = static_cast<int>(line["timeoutMs"].number(0));
    return s;
}

} // namespace

std::string newRunId(const LocalDateTime& t) {
    std::random_device random;
    char id[40];
    std::snprintf(id, sizeof id, "%04d%02d%02d-%02d%02d%02d-%04x", t.year, t.month, t.day, t.hour, t.minute, t.second,
                  static_cast<unsigned>(random() & 0xFFFF));
    return id;
}

std::string rolloutFolder(const std::string& backupFolder) {
    return backupFolder.empty() ? "" : pathToUtf8(pathFromUtf8(backupFolder) / "wdrozenia");
}

std::string rolloutPath(const std::string& backupFolder, const std::string& run) {
    return backupFolder.empty() ? "" : pathToUtf8(pathFromUtf8(rolloutFolder(backupFolder)) / (run + ".jsonl"));
}

bool createRollout(const std::string& path, const RolloutSettings& s) {
    const std::filesystem::path file = pathFromUtf8(path);
    std::error_code problem;
    std::filesystem::create_directories(file.parent_path(), problem);
    if (std::filesystem::exists(file, problem)) return false;
    const std::string line =
        "{\"run\":" + jsonString(s.run) + ",\"created\":" + jsonString(s.created) + ",\"template\":" +
        jsonString(s.templatePath) + ",\"templateHash\":" + jsonString(s.templateHash) + ",\"fields\":" +
        jsonString(s.fields) + ",\"values\":" + jsonString(s.valuesPath) + ",\"hosts\":" + jsonString(s.hostsPath) +
        ",\"canary\":" + number(static_cast<long long>(s.plan.canary)) + ",\"batch\":" +
        number(static_cast<long long>(s.plan.batch)) + ",\"batchPercent\":" + number(s.plan.batchPercent) +
        ",\"stopAt\":" + number(s.plan.stopAtPercent) + ",\"yes\":" + (s.yes ? "true" : "false") +
        ",\"timeoutMs\":" + number(s.timeoutMs) + "}";
    return append(path, line);
}

bool appendModuleStart(const std::string& path, const std::string& module) {
    return append(path, "{\"module\":" + jsonString(module) + ",\"stage\":\"start\"}");
}

bool appendModuleEnd(const std::string& path, const std::string& module, const std::string& outcome) {
    return append(path, "{\"module\":" + jsonString(module) + ",\"stage\":\"end\",\"outcome\":" + jsonString(outcome) + "}");
}

std::optional<RolloutState> loadRollout(const std::string& path, std::string& error) {
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    if (!in) {
        error = "nie ma stanu wdrożenia " + path;
        return std::nullopt;
    }
    RolloutState state;
    std::string text;
    bool first = true;
    while (std::getline(in, text)) {
        const auto line = parseJson(text);
        if (!line) continue;   // a torn last line: the module it spoke of is read again
        if (first) {
            first = false;
            state.settings = settingsOf(*line);
            if (state.settings.run.empty()) break;
            continue;
        }
        ModuleState& module = state.modules[(*line)["module"].text()];
        if ((*line)["stage"].text() == "start") module.started = true;
        if ((*line)["stage"].text() == "end") {
            module.ended = true;
            module.outcome = (*line)["outcome"].text();
        }
    }
    if (state.settings.run.empty()) {
        error = path + " nie jest stanem wdrożenia";
        return std::nullopt;
    }
    return state;
}

} // namespace kavrel::fleet
