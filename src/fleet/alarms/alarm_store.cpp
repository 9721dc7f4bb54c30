#include "fleet/alarms/alarm_store.h"

#include <sqlite3.h>

namespace kavrel::fleet::alarms {
namespace {

constexpr const char* kSchema =
    "PRAGMA journal_mode=WAL;"
    // A committed step survives the process ending at any point (kill -9); only a power cut
    // may take the last steps back.
    "PRAGMA synchronous=NORMAL;"
    "CREATE TABLE IF NOT EXISTS alarm_state (module TEXT NOT NULL, rule TEXT NOT NULL, state TEXT NOT NULL, "
    "PRIMARY KEY (module, rule));"
    "CREATE TABLE IF NOT EXISTS alarm_events (id INTEGER PRIMARY KEY, module TEXT NOT NULL, rule TEXT NOT NULL, "
    "state TEXT NOT NULL, time_ms INTEGER NOT NULL, vals TEXT, self_reported INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX IF NOT EXISTS alarm_events_by_module ON alarm_events (module, time_ms);"
    "CREATE TABLE IF NOT EXISTS alarm_outbox (id INTEGER PRIMARY KEY, created_ms INTEGER NOT NULL, "
    "subject TEXT NOT NULL, body TEXT NOT NULL, json TEXT NOT NULL, mqtt TEXT NOT NULL);"
    "CREATE TABLE IF NOT EXISTS alarm_cursors (sink TEXT PRIMARY KEY, last_id INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS alarm_deliveries (id INTEGER PRIMARY KEY, sink TEXT NOT NULL, "
    "outbox_id INTEGER NOT NULL, attempt INTEGER NOT NULL, time_ms INTEGER NOT NULL, outcome TEXT NOT NULL, error TEXT);";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &handle_, nullptr); }
    ~Statement() { sqlite3_finalize(handle_); }
    Statement& text(int at, const std::string& v) {
        sqlite3_bind_text(handle_, at, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& integer(int at, long long v) {
        sqlite3_bind_int64(handle_, at, v);
        return *this;
    }
    bool step() { return handle_ && sqlite3_step(handle_) == SQLITE_ROW; }
    bool run() {
        const int rc = handle_ ? sqlite3_step(handle_) : SQLITE_ERROR;
        sqlite3_reset(handle_);
        sqlite3_clear_bindings(handle_);
        return rc == SQLITE_DONE;
    }
    std::string column(int at) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(handle_, at));
        return t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(handle_, at))) : std::string();
    }
    long long number(int at) const { return sqlite3_column_int64(handle_, at); }

private:
    sqlite3_stmt* handle_ = nullptr;
};

std::string encodeRetained(const std::vector<RenderedNotification::Retained>& mqtt) {
    std::string out;
    for (const auto& m : mqtt) out += m.topic + "\t" + m.payload + "\n";
    return out;
}

std::vector<RenderedNotification::Retained> decodeRetained(const std::string& text) {
    std::vector<RenderedNotification::Retained> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        const auto tab = line.find('\t');
        if (tab != std::string::npos) out.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return out;
}

} // namespace

AlarmStore::AlarmStore(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        error_ = "nie można otworzyć bazy " + path + ": " + sqlite3_errmsg(db_);
        return;
    }
    sqlite3_busy_timeout(db_, 10'000);
    if (!exec(kSchema)) error_ = "baza " + path + ": " + error_;
}

AlarmStore::~AlarmStore() { sqlite3_close(db_); }

bool AlarmStore::exec(const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = message ? message : "błąd SQLite";
    sqlite3_free(message);
    return false;
}

std::vector<StateRow> AlarmStore::loadState() {
    std::vector<StateRow> rows;
    Statement q(db_, "SELECT module, rule, state FROM alarm_state");
    while (q.step()) rows.push_back({q.column(0), q.column(1), q.column(2)});
    return rows;
}

bool AlarmStore::commit(const std::vector<StateRow>& state, const std::vector<AlarmEvent>& events,
                        const std::vector<Notification>& notifications) {
    if (state.empty() && events.empty() && notifications.empty()) return true;
    if (!exec("BEGIN IMMEDIATE")) return false;
    bool ok = true;
    {
        Statement put(db_, "INSERT INTO alarm_state (module, rule, state) VALUES (?1, ?2, ?3) "
                           "ON CONFLICT(module, rule) DO UPDATE SET state = ?3");
        for (const StateRow& r : state) ok = ok && put.text(1, r.module).text(2, r.rule).text(3, r.text).run();
        Statement ev(db_, "INSERT INTO alarm_events (module, rule, state, time_ms, vals, self_reported) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
        for (const AlarmEvent& e : events)
            ok = ok && ev.text(1, e.module).text(2, e.rule).text(3, e.state).integer(4, e.timeMs).text(5, e.values)
                           .integer(6, e.selfReported).run();
        Statement out(db_, "INSERT INTO alarm_outbox (id, created_ms, subject, body, json, mqtt) VALUES (?6, ?1, ?2, ?3, ?4, ?5)");
        for (const Notification& n : notifications) {
            // The id is the row's own: the next one of the table, known inside this transaction.
            long long id = 1;
            {
                Statement last(db_, "SELECT COALESCE(MAX(id), 0) + 1 FROM alarm_outbox");
                if (last.step()) id = last.number(0);
            }
            const RenderedNotification r = renderNotification(n, id);
            ok = ok && out.integer(1, n.createdMs).text(2, r.subject).text(3, r.body).text(4, r.json)
                           .text(5, encodeRetained(r.mqtt)).integer(6, id).run();
        }
    }
    if (!ok) {
        error_ = sqlite3_errmsg(db_);
        exec("ROLLBACK");
        return false;
    }
    return exec("COMMIT");
}

void AlarmStore::ensureCursor(const std::string& sink) {
    Statement q(db_, "INSERT OR IGNORE INTO alarm_cursors (sink, last_id) "
                     "SELECT ?1, COALESCE(MAX(id), 0) FROM alarm_outbox");
    q.text(1, sink).run();
}

std::optional<Outgoing> AlarmStore::next(const std::string& sink) {
    Statement q(db_, "SELECT id, created_ms, subject, body, json, mqtt FROM alarm_outbox "
                     "WHERE id > (SELECT last_id FROM alarm_cursors WHERE sink = ?1) ORDER BY id LIMIT 1");
    q.text(1, sink);
    if (!q.step()) return std::nullopt;
    Outgoing o;
    o.id = q.number(0);
    o.createdMs = q.number(1);
    o.text.subject = q.column(2);
    o.text.body = q.column(3);
    o.text.json = q.column(4);
    o.text.mqtt = decodeRetained(q.column(5));
    return o;
}

void AlarmStore::attempted(const std::string& sink, long long id, int attempt, long long nowMs, bool ok,
                           const std::string& error) {
    exec("BEGIN IMMEDIATE");
    Statement log(db_, "INSERT INTO alarm_deliveries (sink, outbox_id, attempt, time_ms, outcome, error) "
                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    log.text(1, sink).integer(2, id).integer(3, attempt).integer(4, nowMs).text(5, ok ? "ok" : "failed").text(6, error).run();
    if (ok) {
        Statement move(db_, "UPDATE alarm_cursors SET last_id = ?2 WHERE sink = ?1 AND last_id < ?2");
        move.text(1, sink).integer(2, id).run();
    }
    exec("COMMIT");
}

long long AlarmStore::waiting(const std::string& sink) {
    Statement q(db_, "SELECT COUNT(*) FROM alarm_outbox WHERE id > (SELECT last_id FROM alarm_cursors WHERE sink = ?1)");
    q.text(1, sink);
    return q.step() ? q.number(0) : 0;
}

std::vector<AlarmEvent> AlarmStore::events(const std::string& module, long long sinceMs) {
    std::vector<AlarmEvent> out;
    Statement q(db_, "SELECT module, rule, state, time_ms, vals, self_reported FROM alarm_events "
                     "WHERE (?1 = '' OR module = ?1 OR module = '') AND time_ms >= ?2 ORDER BY time_ms, id");
    q.text(1, module).integer(2, sinceMs);
    while (q.step()) out.push_back({q.column(0), q.column(1), q.column(2), q.number(3), q.column(4), q.number(5) != 0});
    return out;
}

} // namespace kavrel::fleet::alarms
