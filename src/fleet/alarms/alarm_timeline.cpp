#include "fleet/alarms/alarm_timeline.h"

#include <sqlite3.h>

#include <algorithm>
#include <ctime>
#include <filesystem>

#include "common/win1250.h"
#include "fleet/alarms/alarm_store.h"
#include "logger/records/event_row.h"
#include "logger/records/record_layout.h"

namespace kavrel::fleet::alarms {
namespace {

// "2026-12-08 14:05:09" in this computer's time zone (the module's clock is set to it).
long long localStampMs(const std::string& stamp) {
    std::tm tm{};
    if (std::sscanf(stamp.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                    &tm.tm_sec) != 6)
        return -1;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&tm)) * 1000;
}

struct Archive {
    std::string module, file;
};

std::vector<Archive> archivesOf(sqlite3* db, const std::string& module) {
    std::vector<Archive> out;
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT module, last_file FROM module_jobs WHERE kind = 'collect' AND last_file IS NOT NULL "
                           "AND (?1 = '' OR module = ?1)",
                           -1, &q, nullptr) != SQLITE_OK)
        return out;   // no job table yet: nothing collected
    sqlite3_bind_text(q, 1, module.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(q) == SQLITE_ROW)
        out.push_back({reinterpret_cast<const char*>(sqlite3_column_text(q, 0)),
                       reinterpret_cast<const char*>(sqlite3_column_text(q, 1))});
    sqlite3_finalize(q);
    return out;
}

void moduleEvents(const Archive& a, long long sinceMs, std::vector<TimelineEntry>& out) {
    if (!std::filesystem::exists(a.file)) return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(a.file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT stamp, frame FROM records WHERE kind = ?1 ORDER BY segment_id, seq", -1, &q,
                           nullptr) == SQLITE_OK) {
        sqlite3_bind_int(q, 1, logger::record::kEvent);
        while (sqlite3_step(q) == SQLITE_ROW) {
            const auto* stamp = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
            const long long at = stamp ? localStampMs(stamp) : -1;
            if (at < sinceMs) continue;
            const auto* frame = static_cast<const std::uint8_t*>(sqlite3_column_blob(q, 1));
            const std::size_t size = static_cast<std::size_t>(sqlite3_column_bytes(q, 1));
            if (!frame || size <= logger::event::kCode) continue;
            TimelineEntry e;
            e.timeMs = at;
            e.module = a.module;
            e.fromModule = true;
            const int code = frame[logger::event::kCode];
            const std::string& name = logger::eventName(code);
            e.what = name.empty() ? "zdarzenie " + std::to_string(code) : cp1250::toUtf8(name);
            if (size > logger::event::kText) {
                const std::size_t n = std::min(logger::event::kTextSize, size - logger::event::kText);
                std::string text(reinterpret_cast<const char*>(frame + logger::event::kText), n);
                text = text.substr(0, text.find('\0'));
                e.detail = cp1250::toUtf8(text);
            }
            out.push_back(std::move(e));
        }
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
}

} // namespace

std::vector<TimelineEntry> buildTimeline(const std::string& fleetDatabase, const std::string& module, long long sinceMs,
                                         std::string& error) {
    std::vector<TimelineEntry> out;
    if (!std::filesystem::exists(fleetDatabase)) {
        error = "brak bazy " + fleetDatabase;
        return out;
    }
    AlarmStore store(fleetDatabase);
    if (!store.error().empty()) {
        error = store.error();
        return out;
    }
    for (const AlarmEvent& e : store.events(module, sinceMs))
        out.push_back({e.timeMs, e.module, false, e.rule, e.state, e.values, e.selfReported});
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(fleetDatabase.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK)
        for (const Archive& a : archivesOf(db, module)) moduleEvents(a, sinceMs, out);
    sqlite3_close(db);
    std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return a.timeMs < b.timeMs; });
    return out;
}

} // namespace kavrel::fleet::alarms
