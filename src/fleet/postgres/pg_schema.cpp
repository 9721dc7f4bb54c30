#include "fleet/postgres/pg_schema.h"

#include <string_view>

#include "fleet/fleet_schema.h"

namespace kavrel::fleet::postgres {
namespace {

constexpr const char* kFixedColumns[] = {"module", "started", "started_ms", "late_ms", "duration_ms", "outcome"};
constexpr std::size_t kStartedMs = 2, kLateMs = 3;

std::vector<std::string> pollColumns() {
    std::vector<std::string> columns(std::begin(kFixedColumns), std::end(kFixedColumns));
    for (const auto& c : readingColumns()) columns.push_back(c);
    for (const AddedColumn& added : kAddedColumns)
        if (std::string_view(added.table) == "polls") columns.push_back(added.column);
    columns.push_back("member");   // the service that polled
    return columns;
}

std::string typeOf(const std::string& column) {
    if (column == "module" || column == "started" || column == "outcome") return "TEXT NOT NULL";
    if (column == "started_ms") return "BIGINT NOT NULL";
    if (column.ends_with("_value")) return "DOUBLE PRECISION";
    for (const char* whole : {"late_ms", "duration_ms", "outputs", "alarm", "gsm_signal", "gsm_network", "sms", "email",
                              "ext_mode", "incomplete"})
        if (column == whole) return "BIGINT";
    return "TEXT";
}

std::string placeholders(std::size_t rows, std::size_t perRow, const std::string& first = "") {
    std::string out;
    std::size_t n = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        out += r ? ", (" : "(";
        for (std::size_t c = 0; c < perRow; ++c) {
            const std::string mark = "$" + std::to_string(++n);
            if (c) out += ", ";
            out += c == 0 && !first.empty() ? first + "(" + mark + "::bigint / 1000.0)" : mark;
        }
        out += ")";
    }
    return out;
}

} // namespace

std::size_t pollRowValues() { return pollColumns().size() - 1; }

std::string schemaSql() {
    std::string polls = "CREATE TABLE IF NOT EXISTS polls (slot TIMESTAMPTZ NOT NULL";
    for (const auto& c : pollColumns()) polls += ", " + c + " " + typeOf(c);
    polls += ", PRIMARY KEY (module, slot));";
    // Several services creating the tables at once: the lock makes the second one wait and
    // then find them there.
    return "BEGIN; SELECT pg_advisory_xact_lock(7340001);"
           "CREATE TABLE IF NOT EXISTS fleet_meta (name TEXT PRIMARY KEY, value TEXT);"
           "CREATE TABLE IF NOT EXISTS modules (name TEXT PRIMARY KEY, endpoint TEXT, last_outcome TEXT, "
           "last_poll TEXT, last_poll_ms BIGINT, last_good TEXT, last_good_ms BIGINT, "
           "attempts BIGINT NOT NULL DEFAULT 0, failures BIGINT NOT NULL DEFAULT 0, skips BIGINT NOT NULL DEFAULT 0, "
           "last_reason TEXT, owner TEXT);" +
           polls +
           "CREATE INDEX IF NOT EXISTS polls_by_slot ON polls (slot);"
           "CREATE TABLE IF NOT EXISTS poller_figures (name TEXT PRIMARY KEY, value BIGINT NOT NULL DEFAULT 0);"
           "CREATE TABLE IF NOT EXISTS fleet_members (member TEXT PRIMARY KEY, started TIMESTAMPTZ NOT NULL, "
           "expires TIMESTAMPTZ NOT NULL);"
           "INSERT INTO fleet_meta (name, value) VALUES ('schema_version', '" +
           std::to_string(kSchemaVersion) + "') ON CONFLICT (name) DO NOTHING; COMMIT;";
}

const char* const kSchemaVersionSql = "SELECT value FROM fleet_meta WHERE name = 'schema_version'";

long long slotOf(const SqlRow& row) {
    const auto* started = std::get_if<long long>(&row.at(kStartedMs));
    const auto* late = std::get_if<long long>(&row.at(kLateMs));
    const long long scheduled = (started ? *started : 0) - (late ? *late : 0);
    constexpr long long kStep = 100;
    return (scheduled + kStep / 2) / kStep * kStep;
}

std::string insertPollsSql(std::size_t rows) {
    std::string names = "slot";
    for (const auto& c : pollColumns()) names += ", " + c;
    return "INSERT INTO polls (" + names + ") VALUES " + placeholders(rows, pollColumns().size() + 1, "to_timestamp") +
           " ON CONFLICT (module, slot) DO NOTHING RETURNING module, started_ms";
}

std::string upsertModulesSql(std::size_t rows) {
    // Each row: name, endpoint, outcome, poll time, poll ms, attempt, failure, skip, reason.
    std::string values;
    for (std::size_t r = 0; r < rows; ++r) {
        const auto p = [&](int i) { return "$" + std::to_string(r * (kModuleRowValues + 1) + static_cast<std::size_t>(i)); };
        values += std::string(r ? ", " : "") + "(" + p(1) + "::text, " + p(2) + "::text, " + p(3) + "::text, " + p(4) +
                  "::text, " + p(5) + "::bigint, CASE WHEN " + p(3) + "::text = 'ok' THEN " + p(4) +
                  "::text END, CASE WHEN " + p(3) + "::text = 'ok' THEN " + p(5) + "::bigint END, " + p(6) +
                  "::bigint, " + p(7) + "::bigint, " + p(8) + "::bigint, " + p(9) + "::text, " + p(10) + "::text)";
    }
    return "INSERT INTO modules AS m (name, endpoint, last_outcome, last_poll, last_poll_ms, last_good, last_good_ms, "
           "attempts, failures, skips, last_reason, owner) VALUES " +
           values +
           " ON CONFLICT (name) DO UPDATE SET endpoint = EXCLUDED.endpoint, last_outcome = EXCLUDED.last_outcome, "
           "last_poll = EXCLUDED.last_poll, last_poll_ms = EXCLUDED.last_poll_ms, last_reason = EXCLUDED.last_reason, "
           "owner = EXCLUDED.owner, "
           "last_good = COALESCE(EXCLUDED.last_good, m.last_good), "
           "last_good_ms = COALESCE(EXCLUDED.last_good_ms, m.last_good_ms), "
           "attempts = m.attempts + EXCLUDED.attempts, failures = m.failures + EXCLUDED.failures, "
           "skips = m.skips + EXCLUDED.skips";
}

const char* const kAddFigureSql =
    "INSERT INTO poller_figures AS f (name, value) VALUES ($1, $2::bigint) "
    "ON CONFLICT (name) DO UPDATE SET value = f.value + EXCLUDED.value";

} // namespace kavrel::fleet::postgres
