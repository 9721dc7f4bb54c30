#include "fleet/fleet_status.h"

#include <sqlite3.h>

#include <algorithm>
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
        ModuleStatus m;
        m.name = column(query, 0);
        m.endpoint = column(query, 1);
        const auto outcome = outcomeFromText(column(query, 2));
        m.state = outcome ? outcomeLabel(*outcome) : "?";
        m.reason = connectReasonLabel(column(query, 8));
        if (!m.reason.empty() && outcome != Outcome::Refused) m.state += " (" + m.reason + ")";
        m.lastGood = sqlite3_column_type(query, 3) == SQLITE_NULL ? "-" : localText(sqlite3_column_int64(query, 3));
        m.lastPoll = sqlite3_column_type(query, 4) == SQLITE_NULL ? "-" : localText(sqlite3_column_int64(query, 4));
        m.attempts = sqlite3_column_int64(query, 5);
        m.failures = sqlite3_column_int64(query, 6);
        m.skips = sqlite3_column_int64(query, 7);
        status.modules.push_back(std::move(m));
    }
    if (rc != SQLITE_DONE) status.error = "nie można odczytać " + databasePath + ": " + sqlite3_errmsg(db);
    sqlite3_finalize(query);
    // A database of an older version has no figures yet.
    if (sqlite3_prepare_v2(db, "SELECT value FROM poller_figures WHERE name = 'mqtt_dropped'", -1, &query, nullptr) == SQLITE_OK) {
        if (sqlite3_step(query) == SQLITE_ROW) status.mqttDropped = sqlite3_column_int64(query, 0);
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return status;
}

std::string formatFleetStatus(const std::vector<ModuleStatus>& modules) {
    const std::vector<std::string> head = {"Moduł", "Adres", "Stan", "Ostatni dobry odczyt", "Próby", "Błędy", "Pominięte"};
    std::vector<std::vector<std::string>> rows = {head};
    for (const auto& m : modules)
        rows.push_back({m.name, m.endpoint, m.state, m.lastGood, std::to_string(m.attempts), std::to_string(m.failures),
                        std::to_string(m.skips)});
    std::vector<std::size_t> width(head.size(), 0);
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

std::string formatPollerFigures(const FleetStatus& status) {
    if (status.mqttDropped == 0) return "";
    return "Komunikaty MQTT porzucone z pełnej kolejki (--spool-limit): " + std::to_string(status.mqttDropped) + "\n";
}

} // namespace kavrel::fleet
