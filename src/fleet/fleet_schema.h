// The fleet database's tables, named once: the schema of a new database, the columns later
// versions added (added to an older database when it is opened, so that its rows stay), and
// the statements a round is written with.
#pragma once

#include <string>
#include <vector>

struct sqlite3;

namespace kavrel::fleet {

// A column added after the first version: appended to its table, NULL in older rows.
struct AddedColumn {
    const char* table;
    const char* column;
    const char* type;
};

inline constexpr AddedColumn kAddedColumns[] = {
    {"polls", "reason", "TEXT"},           // why the connection was not made ("refused", "name not found", ...)
    {"polls", "incomplete", "INTEGER"},    // 1: the reply lacked fields or was cut; the missing ones are NULL
    {"modules", "last_reason", "TEXT"},
};

// The reading columns of a poll row after its fixed ones, in the order they are bound.
std::vector<std::string> readingColumns();
std::string schemaSql();
// Adds the columns an older database lacks; false with SQLite's message (to be freed with
// sqlite3_free) when it cannot.
bool upgradeSchema(sqlite3* db, char** message);
// The `polls` insert: its fixed columns, the readings, then the added columns.
std::string insertPollSql();
// The `modules` upsert: ?1 name .. ?8 skips, ?9 the reason.
extern const char* const kUpdateModuleSql;
// `poller_figures`: counts that add up over every run (name, how many more).
extern const char* const kAddFigureSql;
// The figure of MQTT messages dropped from a full spool.
inline constexpr const char* kMqttDroppedFigure = "mqtt_dropped";

} // namespace kavrel::fleet
