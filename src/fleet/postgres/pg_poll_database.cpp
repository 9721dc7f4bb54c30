// A PostgreSQL server as the fleet's poll database: one transaction per round, the polls in
// multi-row inserts that skip what the server already holds, and the modules' rows updated
// only for the polls written, so that a round written twice counts once.
#include <set>
#include <utility>

#include "fleet/poll_database.h"
#include "fleet/postgres/pg_connection.h"
#include "fleet/postgres/pg_schema.h"

namespace kavrel::fleet {
namespace {

using postgres::PgConnection;

// Rows per statement: well under the server's 65,535 parameters with every reading column.
constexpr std::size_t kRowsPerStatement = 200;

class PostgresPolls final : public PollDatabase {
public:
    PostgresPolls(const std::string& address, std::string member) : pg_(address), member_(std::move(member)) {}

    bool commit(const StoredPolls& polls, const FigureGrowth& figures) override {
        if (!prepared() || !pg_.exec("BEGIN")) return failed();
        bool ok = true;
        for (std::size_t at = 0; ok && at < polls.size(); at += kRowsPerStatement)
            ok = writeChunk(polls, at, std::min(polls.size(), at + kRowsPerStatement));
        for (const auto& [name, growth] : figures)
            if (ok) ok = static_cast<bool>(pg_.run(postgres::kAddFigureSql, {name, growth}));
        if (ok && pg_.exec("COMMIT")) return true;
        failed();
        if (pg_.connected()) pg_.exec("ROLLBACK");
        return false;
    }
    const std::string& lastError() const override { return error_; }
    bool lastFailureBrief() const override { return false; }
    std::string describe() const override { return pg_.describe(); }

private:
    bool failed() {
        error_ = pg_.error();
        return false;
    }

    // The tables are made (or checked) at the first connection, and again after a lost one:
    // the server may have been set up anew in between.
    bool prepared() {
        if (pg_.connected() && ready_) return true;
        ready_ = false;
        if (!pg_.exec(postgres::schemaSql())) {
            if (pg_.connected()) pg_.exec("ROLLBACK");
            return false;
        }
        const postgres::PgResult version = pg_.run(postgres::kSchemaVersionSql);
        if (!version) return false;
        if (version.rows() == 1 && std::stoi("0" + version.text(0, 0)) > postgres::kSchemaVersion) {
            error_ = "baza na serwerze " + pg_.describe() + " ma nowszy układ tabel (wersja " + version.text(0, 0) +
                     "), niż zna ten program";
            return false;
        }
        ready_ = true;
        return true;
    }

    bool writeChunk(const StoredPolls& polls, std::size_t from, std::size_t to) {
        std::vector<SqlValue> params;
        params.reserve((to - from) * (postgres::pollRowValues() + 1));
        for (std::size_t i = from; i < to; ++i) {
            params.emplace_back(postgres::slotOf(polls[i].poll));
            params.insert(params.end(), polls[i].poll.begin(), polls[i].poll.end());
            params.emplace_back(memberValue());
        }
        const postgres::PgResult written = pg_.run(postgres::insertPollsSql(to - from), params);
        if (!written) return false;
        std::set<std::pair<std::string, std::string>> fresh;
        for (int r = 0; r < written.rows(); ++r) fresh.emplace(written.text(r, 0), written.text(r, 1));
        // The modules' rows of the polls written, in order; a module met twice starts a new
        // statement (one statement may not update a row twice).
        std::vector<SqlValue> rows;
        std::set<std::string> names;
        std::size_t count = 0;
        const auto flush = [&] {
            if (count == 0) return true;
            const bool ok = static_cast<bool>(pg_.run(postgres::upsertModulesSql(count), rows));
            rows.clear();
            names.clear();
            count = 0;
            return ok;
        };
        for (std::size_t i = from; i < to; ++i) {
            const SqlRow& poll = polls[i].poll;
            const auto name = postgres::parameterText(poll.at(0));
            const auto startedMs = postgres::parameterText(poll.at(2));
            if (!name || !startedMs || !fresh.count({*name, *startedMs})) continue;
            if (names.count(*name) && !flush()) return false;
            names.insert(*name);
            rows.insert(rows.end(), polls[i].module.begin(), polls[i].module.end());
            rows.emplace_back(memberValue());
            ++count;
        }
        return flush();
    }

    SqlValue memberValue() const { return member_.empty() ? SqlValue{} : SqlValue{member_}; }

    PgConnection pg_;
    std::string member_;
    bool ready_ = false;
    std::string error_;
};

} // namespace

bool postgresAvailable() { return true; }

std::unique_ptr<PollDatabase> openPostgresPolls(const std::string& address, std::string& error,
                                                const std::string& member) {
    std::string why;
    if (!PgConnection::validAddress(address, why)) {
        error = "nieprawidłowy adres bazy PostgreSQL: " + why;
        return nullptr;
    }
    return std::make_unique<PostgresPolls>(address, member);
}

} // namespace kavrel::fleet
