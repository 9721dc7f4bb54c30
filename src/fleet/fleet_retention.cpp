#include "fleet/fleet_retention.h"

#include <sqlite3.h>

#include <vector>

namespace kavrel::fleet {
namespace {

constexpr const char* kCursorSlice = "thinned_from_ms";
constexpr const char* kCursorModule = "thinned_module";

// Keeps the first answered row of the module's interval (or its first row) and deletes the rest.
constexpr const char* kThinSql =
    "DELETE FROM polls WHERE module = ?1 AND started_ms >= ?2 AND started_ms < ?3 AND id != "
    "(SELECT id FROM polls WHERE module = ?1 AND started_ms >= ?2 AND started_ms < ?3 "
    "ORDER BY outcome = 'ok' DESC, id LIMIT 1)";

std::vector<std::string> moduleNames(sqlite3* db, const std::string& after) {
    std::vector<std::string> names;
    sqlite3_stmt* query = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT name FROM modules WHERE name > ?1 ORDER BY name LIMIT 64", -1, &query, nullptr) !=
        SQLITE_OK)
        return names;
    sqlite3_bind_text(query, 1, after.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(query) == SQLITE_ROW) names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(query, 0)));
    sqlite3_finalize(query);
    return names;
}

bool setMeta(sqlite3* db, const char* name, const std::string& value) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "INSERT INTO fleet_meta (name, value) VALUES (?1, ?2) ON CONFLICT(name) DO UPDATE SET value = ?2",
                           -1, &statement, nullptr) != SQLITE_OK)
        return false;
    sqlite3_bind_text(statement, 1, name, -1, SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, value.c_str(), -1, SQLITE_TRANSIENT);
    const bool ok = sqlite3_step(statement) == SQLITE_DONE;
    sqlite3_finalize(statement);
    return ok;
}

std::string meta(sqlite3* db, const char* name) {
    sqlite3_stmt* query = nullptr;
    std::string value;
    if (sqlite3_prepare_v2(db, "SELECT value FROM fleet_meta WHERE name = ?1", -1, &query, nullptr) != SQLITE_OK) return value;
    sqlite3_bind_text(query, 1, name, -1, SQLITE_STATIC);
    if (sqlite3_step(query) == SQLITE_ROW && sqlite3_column_text(query, 0))
        value = reinterpret_cast<const char*>(sqlite3_column_text(query, 0));
    sqlite3_finalize(query);
    return value;
}

} // namespace

FleetRetention::FleetRetention(sqlite3* db, RetentionPolicy policy) : db_(db), policy_(policy) {
    if (!active()) return;
    sqlite3_exec(db_, "CREATE TABLE IF NOT EXISTS fleet_meta (name TEXT PRIMARY KEY, value TEXT)", nullptr, nullptr, nullptr);
}

bool FleetRetention::loadCursor() {
    if (loaded_) return true;
    const std::string slice = meta(db_, kCursorSlice);
    if (!slice.empty()) {
        sliceFrom_ = std::stoll(slice);
        lastModule_ = meta(db_, kCursorModule);
    } else {
        // The oldest row by its id: rows are stored in time order, and the id is the table's key.
        sqlite3_stmt* query = nullptr;
        if (sqlite3_prepare_v2(db_, "SELECT started_ms FROM polls ORDER BY id LIMIT 1", -1, &query, nullptr) != SQLITE_OK)
            return false;
        if (sqlite3_step(query) == SQLITE_ROW) sliceFrom_ = sqlite3_column_int64(query, 0) / policy_.intervalMs * policy_.intervalMs;
        sqlite3_finalize(query);
        if (sliceFrom_ < 0) return false;   // nothing stored yet: looked at again next round
    }
    loaded_ = true;
    return true;
}

bool FleetRetention::thinModule(const std::string& module, long long from, long long to, long long& deleted) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, kThinSql, -1, &statement, nullptr) != SQLITE_OK) return false;
    sqlite3_bind_text(statement, 1, module.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, from);
    sqlite3_bind_int64(statement, 3, to);
    const bool ok = sqlite3_step(statement) == SQLITE_DONE;
    if (ok) deleted += sqlite3_changes(db_);
    sqlite3_finalize(statement);
    return ok;
}

long long FleetRetention::step(long long nowMs) {
    if (!active() || !loadCursor()) return 0;
    const auto until = std::chrono::steady_clock::now() + policy_.budget;
    const long long cutoff = nowMs - policy_.keepRawMs;
    if (sliceFrom_ + policy_.intervalMs > cutoff) return 0;
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return 0;
    long long deleted = 0;
    bool ok = true;
    long long slice = sliceFrom_;
    std::string last = lastModule_;
    // At least one module's interval a step, however small the budget: the thinning always moves on.
    bool thinnedOne = false;
    const auto budgetLeft = [&] { return !thinnedOne || std::chrono::steady_clock::now() < until; };
    while (ok && slice + policy_.intervalMs <= cutoff && budgetLeft()) {
        const std::vector<std::string> names = moduleNames(db_, last);
        if (names.empty()) {   // every module of this interval done: the next one
            slice += policy_.intervalMs;
            last.clear();
            continue;
        }
        for (const std::string& name : names) {
            if (!(ok = thinModule(name, slice, slice + policy_.intervalMs, deleted))) break;
            last = name;
            thinnedOne = true;
            if (!budgetLeft()) break;
        }
    }
    ok = ok && setMeta(db_, kCursorSlice, std::to_string(slice)) && setMeta(db_, kCursorModule, last);
    if (ok && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) {
        sliceFrom_ = slice;
        lastModule_ = last;
        return deleted;
    }
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return 0;
}

} // namespace kavrel::fleet
