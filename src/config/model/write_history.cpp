#include "config/model/write_history.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

#include "common/append_line.h"
#include "common/file_names.h"
#include "common/json_reader.h"
#include "common/json_text.h"

namespace kavrel::config {
namespace {

std::string jsonOrNull(const std::string& text) { return text.empty() ? "null" : jsonString(text); }

std::string changesJson(const std::optional<std::vector<HistoryChange>>& changes) {
    if (!changes) return "null";
    std::string out = "[";
    for (const HistoryChange& change : *changes) {
        if (out.size() > 1) out += ",";
        out += "{\"key\":" + jsonString(change.key) + ",\"before\":" + jsonString(change.before) +
               ",\"after\":" + jsonString(change.after) + "}";
    }
    return out + "]";
}

// Members a closing line carries: what the attempt learned after its opening line.
std::string learnedMembers(const HistoryRecord& record) {
    return ",\"moduleVersion\":" + jsonOrNull(record.moduleVersion) + ",\"hashBefore\":" + jsonOrNull(record.hashBefore) +
           ",\"changes\":" + changesJson(record.changes);
}

bool appendTo(const std::string& path, const std::string& line) {
    if (path.empty()) return false;
    const std::filesystem::path file = pathFromUtf8(path);
    std::error_code made;
    std::filesystem::create_directories(file.parent_path(), made);
    return appendLineDurably(file, line);
}

std::optional<std::vector<HistoryChange>> changesOf(const JsonValue& value) {
    if (value.kind() != JsonValue::Kind::Array) return std::nullopt;
    std::vector<HistoryChange> changes;
    for (const JsonValue& item : value.items())
        changes.push_back({item["key"].text(), item["before"].text(), item["after"].text()});
    return changes;
}

void takeOpening(HistoryRecord& record, const JsonValue& line) {
    record.time = line["time"].text();
    record.user = line["user"].text();
    record.computer = line["computer"].text();
    record.tool = line["tool"].text();
    record.toolVersion = line["toolVersion"].text();
    record.action = line["action"].text();
    record.connection = line["connection"].text();
    record.moduleVersion = line["moduleVersion"].text();
    record.hashBefore = line["hashBefore"].text();
    record.hashAfter = line["hashAfter"].text();
    record.changes = changesOf(line["changes"]);
    record.journal = line["journal"].text();
    record.run = line["run"].text();
}

void takeClosing(HistoryRecord& record, const JsonValue& line) {
    record.ended = line["time"].text();
    record.outcome = line["outcome"].text(kOutcomeCut);
    record.detail = line["detail"].text();
    if (!line["moduleVersion"].text().empty()) record.moduleVersion = line["moduleVersion"].text();
    if (!line["hashBefore"].text().empty()) record.hashBefore = line["hashBefore"].text();
    if (auto changes = changesOf(line["changes"])) record.changes = std::move(changes);
}

} // namespace

std::string historyPath(const std::string& folder) {
    if (folder.empty()) return "";
    return pathToUtf8(pathFromUtf8(folder) / kHistoryFileName);
}

std::string newAttemptId() {
    static std::mt19937_64 draws{std::random_device{}() ^
                                 static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    static unsigned counter = 0;
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch()).count();
    char id[64];
    std::snprintf(id, sizeof id, "%011llx-%04x-%08llx", static_cast<unsigned long long>(now), ++counter & 0xFFFF,
                  static_cast<unsigned long long>(draws() & 0xFFFFFFFF));
    return id;
}

std::string currentUserName() {
#ifdef _WIN32
    const char* names[] = {"USERNAME"};
#else
    const char* names[] = {"USER", "LOGNAME"};
#endif
    for (const char* name : names)
        if (const std::string value = environmentText(name); !value.empty()) return value;
#ifndef _WIN32
    if (const passwd* entry = ::getpwuid(::geteuid()); entry != nullptr && entry->pw_name != nullptr) return entry->pw_name;
#endif
    return "";
}

std::string currentComputerName() {
#ifdef _WIN32
    return environmentText("COMPUTERNAME");
#else
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    return name;
#endif
}

bool appendHistoryOpening(const std::string& path, const HistoryRecord& r) {
    const std::string line =
        "{\"id\":" + jsonString(r.id) + ",\"stage\":\"start\",\"time\":" + jsonString(r.time) +
        ",\"user\":" + jsonString(r.user) + ",\"computer\":" + jsonString(r.computer) + ",\"tool\":" + jsonString(r.tool) +
        ",\"toolVersion\":" + jsonString(r.toolVersion) + ",\"action\":" + jsonString(r.action) +
        ",\"connection\":" + jsonString(r.connection) + learnedMembers(r) + ",\"hashAfter\":" + jsonOrNull(r.hashAfter) +
        ",\"journal\":" + jsonOrNull(r.journal) + ",\"run\":" + jsonOrNull(r.run) + "}";
    return appendTo(path, line);
}

bool appendHistoryClosing(const std::string& path, const HistoryRecord& r) {
    const std::string line = "{\"id\":" + jsonString(r.id) + ",\"stage\":\"end\",\"time\":" + jsonString(r.ended) +
                             ",\"outcome\":" + jsonString(r.outcome) + learnedMembers(r) +
                             ",\"detail\":" + jsonString(r.detail) + "}";
    return appendTo(path, line);
}

HistoryLoad loadHistory(const std::string& path) {
    HistoryLoad load;
    const std::filesystem::path file = pathFromUtf8(path);
    std::error_code problem;
    if (path.empty() || !std::filesystem::exists(file, problem)) {
        load.missing = true;
        return load;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        load.problem = "nie można otworzyć " + path;
        return load;
    }
    std::map<std::string, std::size_t> byId;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty()) continue;
        const auto line = parseJson(text);
        const std::string id = line ? (*line)["id"].text() : "";
        const std::string stage = line ? (*line)["stage"].text() : "";
        if (id.empty() || (stage != "start" && stage != "end")) {
            ++load.damagedLines;
            continue;
        }
        auto [at, added] = byId.try_emplace(id, load.records.size());
        if (added) {
            load.records.emplace_back();
            load.records.back().id = id;
        }
        HistoryRecord& record = load.records[at->second];
        if (stage == "start") takeOpening(record, *line);
        else takeClosing(record, *line);
    }
    return load;
}

std::string historyRecordJson(const HistoryRecord& r) {
    return "{\"id\":" + jsonString(r.id) + ",\"time\":" + jsonString(r.time) + ",\"ended\":" + jsonOrNull(r.ended) +
           ",\"user\":" + jsonString(r.user) + ",\"computer\":" + jsonString(r.computer) + ",\"tool\":" + jsonString(r.tool) +
           ",\"toolVersion\":" + jsonString(r.toolVersion) + ",\"action\":" + jsonString(r.action) +
           ",\"connection\":" + jsonString(r.connection) + learnedMembers(r) + ",\"hashAfter\":" + jsonOrNull(r.hashAfter) +
           ",\"outcome\":" + jsonString(r.outcome) + ",\"detail\":" + jsonString(r.detail) +
           ",\"journal\":" + jsonOrNull(r.journal) + ",\"run\":" + jsonOrNull(r.run) + "}";
}

} // namespace kavrel::config
