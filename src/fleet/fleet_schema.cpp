#include "fleet/fleet_schema.h"

#include <sqlite3.h>

#include <set>
#include <string_view>

#include "monitor/measurement.h"

namespace kavrel::fleet {
namespace {

std::string addedColumns(std::string_view table) {
    std::string out;
    for (const AddedColumn& added : kAddedColumns)
        if (table == added.table) out += std::string(", ") + added.column + " " + added.type;
    return out;
}

std::set<std::string> columnsOf(sqlite3* db, const std::string& table) {
    std::set<std::string> names;
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db, ("PRAGMA table_info(" + table + ")").c_str(), -1, &query, nullptr) != SQLITE_OK) return names;
    while (sqlite3_step(query) == SQLITE_ROW)
        if (const unsigned char* name = sqlite3_column_text(query, 1)) names.insert(reinterpret_cast<const char*>(name));
    sqlite3_finalize(query);
    return names;
}

} // namespace

// The columns of a poll row after its fixed ones, named once here for the schema and the insert.
std::vector<std::string> readingColumns() {
    std::vector<std::string> columns;
    for (int i = 1; i <= monitor::kInputLines; ++i) {
        const std::string l = "l" + std::to_string(i);
        columns.insert(columns.end(), {l + "_name", l, l + "_value", l + "_state"});
    }
    for (const char* c : {"outputs", "alarm", "gsm_signal", "gsm_network", "sms", "email", "ext_mode"}) columns.push_back(c);
    for (int i = 1; i <= monitor::kExtendedLines; ++i) {
        const std::string x = "xl" + std::to_string(i);
        columns.insert(columns.end(), {x + "_name", x, x + "_state"});
    }
    return columns;
}

std::string schemaSql() {
    std::string polls = "CREATE TABLE IF NOT EXISTS polls (id INTEGER PRIMARY KEY, module TEXT NOT NULL, "
                        "started TEXT NOT NULL, started_ms INTEGER NOT NULL, late_ms INTEGER, duration_ms INTEGER, "
                        "outcome TEXT NOT NULL";
    for (const auto& c : readingColumns()) {
        const bool number = c.ends_with("_value");
        const bool whole = c == "outputs" || c == "alarm" || c == "gsm_signal" || c == "gsm_network" || c == "sms" ||
                           c == "email" || c == "ext_mode";
        polls += ", " + c + (number ? " REAL" : whole ? " INTEGER" : " TEXT");
    }
    polls += addedColumns("polls") + ");";
    return "PRAGMA journal_mode=WAL;"
           "CREATE TABLE IF NOT EXISTS modules (name TEXT PRIMARY KEY, endpoint TEXT, last_outcome TEXT, "
           "last_poll TEXT, last_poll_ms INTEGER, last_good TEXT, last_good_ms INTEGER, "
           "attempts INTEGER NOT NULL DEFAULT 0, failures INTEGER NOT NULL DEFAULT 0, skips INTEGER NOT NULL DEFAULT 0" +
           addedColumns("modules") + ");" +
           polls + "CREATE INDEX IF NOT EXISTS polls_by_module ON polls (module, started_ms);"
           "CREATE TABLE IF NOT EXISTS poller_figures (name TEXT PRIMARY KEY, value INTEGER NOT NULL DEFAULT 0);";
}

std::string insertPollSql() {
    const auto columns = readingColumns();
    std::string names = "module, started, started_ms, late_ms, duration_ms, outcome";
    std::string marks = "?, ?, ?, ?, ?, ?";
    for (const auto& c : columns) {
        names += ", " + c;
        marks += ", ?";
    }
    for (const AddedColumn& added : kAddedColumns) {
        if (std::string_view(added.table) != "polls") continue;
        names += std::string(", ") + added.column;
        marks += ", ?";
    }
    return "INSERT INTO polls (" + names + ") VALUES (" + marks + ")";
}

const char* const kUpdateModuleSql =
    "INSERT INTO modules (name, endpoint, last_outcome, last_poll, last_poll_ms, last_good, last_good_ms, attempts, "
    "failures, skips, last_reason) VALUES (?1, ?2, ?3, ?4, ?5, CASE WHEN ?3 = 'ok' THEN ?4 END, "
    "CASE WHEN ?3 = 'ok' THEN ?5 END, ?6, ?7, ?8, ?9) "
    "ON CONFLICT(name) DO UPDATE SET endpoint = ?2, last_outcome = ?3, last_poll = ?4, last_poll_ms = ?5, "
    "last_reason = ?9, "
    "last_good = CASE WHEN ?3 = 'ok' THEN ?4 ELSE last_good END, "
    "last_good_ms = CASE WHEN ?3 = 'ok' THEN ?5 ELSE last_good_ms END, "
    "attempts = attempts + ?6, failures = failures + ?7, skips = skips + ?8";


const char* const kAddFigureSql =
    "INSERT INTO poller_figures (name, value) VALUES (?1, ?2) ON CONFLICT(name) DO UPDATE SET value = value + ?2";

bool upgradeSchema(sqlite3* db, char** message) {
    for (const std::string table : {"polls", "modules"}) {
        const std::set<std::string> present = columnsOf(db, table);
        for (const AddedColumn& added : kAddedColumns) {
            if (table != added.table || present.count(added.column)) continue;
            const std::string sql = "ALTER TABLE " + table + " ADD COLUMN " + added.column + " " + added.type;
            if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, message) != SQLITE_OK) return false;
        }
    }
    return true;
}

} // namespace kavrel::fleet
