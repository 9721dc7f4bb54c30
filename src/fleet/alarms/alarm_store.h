// The alarms' part of the fleet database: every alert's state and pending timer
// (alarm_state), the timeline of alert changes (alarm_events), and the delivery spool: the
// notifications in the order they were made (alarm_outbox), how far each destination got
// (alarm_cursors) and every delivery attempt with its outcome (alarm_deliveries).
//
// A notification is written in the same transaction as the state that made it, so that a
// restart, even after `kill -9`, neither makes it again nor loses it; a destination's cursor
// moves only after the destination took it, so a mail server away for an hour costs rows,
// and nothing is lost or reordered. One store per thread: the evaluator and the delivery
// each open their own.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fleet/alarms/alarm_engine.h"
#include "fleet/alarms/notification_text.h"

struct sqlite3;

namespace kavrel::fleet::alarms {

struct Outgoing {
    long long id = 0;
    long long createdMs = 0;
    RenderedNotification text;
};


class AlarmStore {
public:
    explicit AlarmStore(const std::string& path);
    ~AlarmStore();
    AlarmStore(const AlarmStore&) = delete;
    AlarmStore& operator=(const AlarmStore&) = delete;

    const std::string& error() const { return error_; }

    std::vector<StateRow> loadState();
    // State, events and notifications of one step, all or nothing.
    bool commit(const std::vector<StateRow>& state, const std::vector<AlarmEvent>& events,
                const std::vector<Notification>& notifications);

    // A destination seen for the first time starts after the notifications already made.
    void ensureCursor(const std::string& sink);
    std::optional<Outgoing> next(const std::string& sink);
    // Logs one attempt; on success the sink's cursor moves past `id`.
    void attempted(const std::string& sink, long long id, int attempt, long long nowMs, bool ok, const std::string& error);
    long long waiting(const std::string& sink);

    // For `fleet alarms`: the events of one module ("" all), from sinceMs on.
    std::vector<AlarmEvent> events(const std::string& module, long long sinceMs);

private:
    bool exec(const char* sql);
    sqlite3* db_ = nullptr;
    std::string error_;
};

} // namespace kavrel::fleet::alarms
