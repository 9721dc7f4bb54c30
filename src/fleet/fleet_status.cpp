#include "fleet/fleet_status.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "fleet/poll_record.h"

namespace kavrel::fleet {
namespace {

std::string column(sqlite3_stmt* statement, int index) {
    const unsigned char* text = sqlite3_column_text(statement, index);
    return text ? reinterpret_cast<const char*>(text) : "";
}

// Characters on a terminal: UTF-8 continuation bytes take no place.
std::size_t shownWidth(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string padded(const std::string& text, std::size_t width) {
    const std::size_t shown = shownWidth(text);
    return text + std::string(shown < width ? width - shown : 0, ' ');
}

std::optional<long long> optionalInt(sqlite3_stmt* statement, int index) {
    if (sqlite3_column_type(statement, index) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(statement, index);
}

// The service's job tables, when the database has them (a `fleet poll` database has not).
void readJobs(sqlite3* db, FleetStatus& status) {
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT module, kind, last_ms, last_outcome, last_error, last_ok_ms, last_records, last_holes, "
                           "last_changes, last_file, next_due_ms, retries FROM module_jobs",
                           -1, &query, nullptr) != SQLITE_OK)
        return;
    while (sqlite3_step(query) == SQLITE_ROW) {
        const std::string name = column(query, 0);
        const std::string kind = column(query, 1);
        const int k = kind == "collect" ? 0 : kind == "backup" ? 1 : -1;
        const auto m = std::find_if(status.modules.begin(), status.modules.end(), [&](const auto& x) { return x.name == name; });
        if (k < 0 || m == status.modules.end()) continue;
        ModuleStatus::Job& job = m->jobs[static_cast<std::size_t>(k)];
        job.known = true;
        job.lastMs = optionalInt(query, 2);
        job.lastOutcome = column(query, 3);
        job.lastError = column(query, 4);
        job.lastOkMs = optionalInt(query, 5);
        job.records = optionalInt(query, 6);
        job.holes = optionalInt(query, 7);
        job.changes = optionalInt(query, 8);
        job.file = column(query, 9);
        job.nextDueMs = optionalInt(query, 10);
        job.retries = sqlite3_column_int64(query, 11);
    }
    sqlite3_finalize(query);
    // The fields of each module's last backup that found changes.
    if (sqlite3_prepare_v2(db,
                           "SELECT module, key, before, after FROM config_changes c WHERE time_ms = "
                           "(SELECT MAX(time_ms) FROM config_changes d WHERE d.module = c.module) ORDER BY id",
                           -1, &query, nullptr) != SQLITE_OK)
        return;
    while (sqlite3_step(query) == SQLITE_ROW) {
        const std::string name = column(query, 0);
        const auto m = std::find_if(status.modules.begin(), status.modules.end(), [&](const auto& x) { return x.name == name; });
        if (m != status.modules.end())
            m->lastChanges.push_back(column(query, 1) + ": " + column(query, 2) + " -> " + column(query, 3));
    }
    sqlite3_finalize(query);
}

std::string timeOrDash(const std::optional<long long>& ms) { return ms ? localText(*ms) : "-"; }

std::string jsonText(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') out += '\\', out += c;
        else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else out += c;
    }
    return out + "\"";
}

std::string jsonNumber(const std::optional<long long>& value) { return value ? std::to_string(*value) : "null"; }

std::string jsonTime(const std::optional<long long>& ms) { return ms ? jsonText(localText(*ms)) : "null"; }

std::string table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> width(rows.front().size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], shownWidth(row[c]));
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) line += (c ? "  " : "") + padded(row[c], c + 1 < row.size() ? width[c] : 0);
        out += line + "\n";
    }
    return out;
}

} // namespace

FleetStatus readFleetStatus(const std::string& databasePath) {
    FleetStatus status;
    if (!std::filesystem::exists(databasePath)) {
        status.error = "no database " + databasePath;
        return status;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        status.error = "nie można otworzyć " + databasePath + ": " + (db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return status;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* query = nullptr;
    // A database of an older version has no reasons yet.
    const bool reasons = sqlite3_table_column_metadata(db, nullptr, "modules", "last_reason", nullptr, nullptr, nullptr,
                                                       nullptr, nullptr) == SQLITE_OK;
    const std::string sql = std::string("SELECT name, endpoint, last_outcome, last_good_ms, last_poll_ms, attempts, failures, "
                                        "skips, ") + (reasons ? "last_reason" : "NULL") + " FROM modules ORDER BY name";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &query, nullptr) != SQLITE_OK) {
        status.error = databasePath + " nie jest bazą floty: " + sqlite3_errmsg(db);
        sqlite3_close(db);
        return status;
    }
    int rc;
    while ((rc = sqlite3_step(query)) == SQLITE_ROW) {
        ModuleStatus m = moduleStatusOf(column(query, 0), column(query, 1), column(query, 2), column(query, 8),
                                        optionalInt(query, 3), optionalInt(query, 4), sqlite3_column_int64(query, 5),
                                        sqlite3_column_int64(query, 6), sqlite3_column_int64(query, 7));
        status.modules.push_back(std::move(m));
    }
    if (rc != SQLITE_DONE) status.error = "nie można odczytać " + databasePath + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(query);
    // A database of an older version has no figures yet.
    if (sqlite3_prepare_v2(db, "SELECT value FROM poller_figures WHERE name = 'mqtt_dropped'", -1, &query, nullptr) == SQLITE_OK) {
        if (sqlite3_step(query) == SQLITE_ROW) status.mqttDropped = sqlite3_column_int64(query, 0);
        sqlite3_finalize(query);
    }
    readJobs(db, status);
    sqlite3_close(db);
    return status;
}

std::string formatFleetStatus(const std::vector<ModuleStatus>& modules) {
    const std::vector<std::string> head = {"Moduł", "Adres", "Stan", "Ostatni dobry odczyt", "Próby", "Błędy", "Pominięte"};
    std::vector<std::vector<std::string>> rows = {head};
    for (const auto& m : modules)
        rows.push_back({m.name, m.endpoint, m.state, m.lastGood, std::to_string(m.attempts), std::to_string(m.failures),
                        std::to_string(m.skips)});
    std::string out = table(rows);
    std::vector<std::vector<std::string>> jobs = {
        {"Moduł", "Zadanie", "Ostatnie", "Wynik", "Rekordy/zmiany", "Luki", "Ostatnie udane", "Następne", "Ponowienia"}};
    for (const auto& m : modules)
        for (std::size_t k = 0; k < m.jobs.size(); ++k) {
            const auto& j = m.jobs[k];
            if (!j.known) continue;
            const auto count = k == 0 ? j.records : j.changes;
            jobs.push_back({m.name, k == 0 ? "pobranie pamięci" : "kopia ustawień", timeOrDash(j.lastMs),
                            j.lastOutcome.empty() ? "-" : j.lastOutcome, count ? std::to_string(*count) : "-",
                            k == 0 && j.holes ? std::to_string(*j.holes) : "-", timeOrDash(j.lastOkMs),
                            timeOrDash(j.nextDueMs), std::to_string(j.retries)});
        }
    if (jobs.size() > 1) out += "\n" + table(jobs);
    return out;
}

std::string formatPollerFigures(const FleetStatus& status) {
    if (status.mqttDropped == 0) return "";
    return "Komunikaty MQTT porzucone z pełnej kolejki (--spool-limit): " + std::to_string(status.mqttDropped) + "\n";
}

ModuleStatus moduleStatusOf(const std::string& name, const std::string& endpoint, const std::string& outcomeText,
                            const std::string& reason, std::optional<long long> lastGoodMs,
                            std::optional<long long> lastPollMs, long long attempts, long long failures, long long skips) {
    ModuleStatus m;
    m.name = name;
    m.endpoint = endpoint;
    const auto outcome = outcomeFromText(outcomeText);
    m.state = outcome ? outcomeLabel(*outcome) : "?";
    m.reason = connectReasonLabel(reason);
    if (!m.reason.empty() && outcome != Outcome::Refused) m.state += " (" + m.reason + ")";
    m.lastGood = timeOrDash(lastGoodMs);
    m.lastPoll = timeOrDash(lastPollMs);
    m.attempts = attempts;
    m.failures = failures;
    m.skips = skips;
    m.outcome = outcomeText;
    m.lastGoodMs = lastGoodMs;
    m.lastPollMs = lastPollMs;
    return m;
}

std::string fleetStatusJson(const std::vector<ModuleStatus>& modules) {
    std::string out = "{\"modules\":[";
    bool first = true;
    for (const auto& m : modules) {
        out += first ? "" : ",";
        first = false;
        out += "{\"name\":" + jsonText(m.name) + ",\"endpoint\":" + jsonText(m.endpoint) + ",\"state\":" +
               jsonText(m.outcome) + ",\"state_label\":" + jsonText(m.state) + ",\"reason\":" +
               (m.reason.empty() ? "null" : jsonText(m.reason)) + ",\"last_good_ms\":" +
               jsonNumber(m.lastGoodMs) + ",\"last_good\":" + jsonTime(m.lastGoodMs) + ",\"last_poll_ms\":" +
               jsonNumber(m.lastPollMs) + ",\"attempts\":" + std::to_string(m.attempts) + ",\"failures\":" +
               std::to_string(m.failures) + ",\"skips\":" + std::to_string(m.skips);
        if (!m.owner.empty()) out += ",\"owner\":" + jsonText(m.owner);
        for (std::size_t k = 0; k < m.jobs.size(); ++k) {
            const auto& j = m.jobs[k];
            out += std::string(",\"") + (k == 0 ? "collection" : "backup") + "\":";
            if (!j.known) {
                out += "null";
                continue;
            }
            out += "{\"last_ms\":" + jsonNumber(j.lastMs) + ",\"last\":" + jsonTime(j.lastMs) + ",\"outcome\":" +
                   (j.lastOutcome.empty() ? "null" : jsonText(j.lastOutcome)) + ",\"error\":" +
                   (j.lastError.empty() ? "null" : jsonText(j.lastError)) + ",\"last_ok_ms\":" + jsonNumber(j.lastOkMs) +
                   ",\"next_due_ms\":" + jsonNumber(j.nextDueMs) + ",\"next_due\":" + jsonTime(j.nextDueMs) +
                   ",\"retries\":" + std::to_string(j.retries) + ",\"file\":" +
                   (j.file.empty() ? "null" : jsonText(j.file));
            if (k == 0) out += ",\"records\":" + jsonNumber(j.records) + ",\"holes\":" + jsonNumber(j.holes);
            else {
                out += ",\"changed_fields\":" + jsonNumber(j.changes) + ",\"last_changes\":[";
                for (std::size_t c = 0; c < m.lastChanges.size(); ++c) out += (c ? "," : "") + jsonText(m.lastChanges[c]);
                out += "]";
            }
            out += "}";
        }
        out += "}";
    }
    return out + "]}\n";
}

} // namespace kavrel::fleet
