// The fleet's SQLite file as a poll database: WAL, so that `sqlite3` and `kavrel fleet status`
// read it while polling runs; one IMMEDIATE transaction per round; the retention's thinning
// after each commit.
#include <sqlite3.h>

#include <memory>

#include "fleet/fleet_retention.h"
#include "fleet/fleet_schema.h"
#include "fleet/fleet_store.h"
#include "fleet/poll_database.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet {
namespace {

struct Statement {
    sqlite3_stmt* handle = nullptr;
    Statement(sqlite3* db, const std::string& sql) { sqlite3_prepare_v2(db, sql.c_str(), -1, &handle, nullptr); }
    ~Statement() { sqlite3_finalize(handle); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool run(const SqlRow& row) {
        int at = 0;
        for (const SqlValue& value : row) {
            ++at;
            if (const auto* i = std::get_if<long long>(&value)) sqlite3_bind_int64(handle, at, *i);
            else if (const auto* d = std::get_if<double>(&value)) sqlite3_bind_double(handle, at, *d);
            else if (const auto* t = std::get_if<std::string>(&value))
                sqlite3_bind_text(handle, at, t->c_str(), static_cast<int>(t->size()), SQLITE_TRANSIENT);
            else sqlite3_bind_null(handle, at);
        }
        const int rc = sqlite3_step(handle);
        sqlite3_reset(handle);
        sqlite3_clear_bindings(handle);
        return rc == SQLITE_DONE;
    }
};

class SqlitePolls final : public PollDatabase {
public:
    SqlitePolls(sqlite3* db, std::string path, const RetentionPolicy& retention)
        : db_(db), path_(std::move(path)), retention_(std::make_unique<FleetRetention>(db_, retention)) {}
    ~SqlitePolls() override {
        retention_.reset();
        sqlite3_close(db_);
    }

    bool commit(const StoredPolls& polls, const FigureGrowth& figures) override {
        if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return failed();
        bool ok = true;
        {
            Statement insert(db_, insertPollSql());
            Statement update(db_, kUpdateModuleSql);
            ok = insert.handle && update.handle;
            for (const StoredPoll& poll : polls) {
                if (!ok) break;
                ok = insert.run(poll.poll) && update.run(poll.module);
            }
            if (ok && !figures.empty()) {
                Statement add(db_, kAddFigureSql);
                for (const auto& [name, growth] : figures)
                    if (ok) ok = add.handle && add.run({name, growth});
            }
        }
        if (ok && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK) return true;
        failed();   // before the rollback sets its own code
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    const std::string& lastError() const override { return error_; }
    bool lastFailureBrief() const override { return busy_; }
    long long afterCommit() override {
        return retention_->active() ? retention_->step(unixMs(std::chrono::system_clock::now())) : 0;
    }
    std::string describe() const override { return path_; }

private:
    bool failed() {
        const int code = sqlite3_extended_errcode(db_);
        busy_ = (code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED;
        error_ = storeErrorText(code, sqlite3_errmsg(db_));
        return false;
    }

    sqlite3* db_;
    std::string path_;
    std::unique_ptr<FleetRetention> retention_;
    std::string error_;
    bool busy_ = false;
};

} // namespace

std::unique_ptr<PollDatabase> openSqlitePolls(const std::string& path, const StoreLimits& limits, std::string& error) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr) !=
        SQLITE_OK) {
        error = "nie można otworzyć bazy " + path + ": " +
                (db ? storeErrorText(sqlite3_errcode(db), sqlite3_errmsg(db)) : "brak pamięci");
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, limits.busyWaitMs);
    char* message = nullptr;
    if (sqlite3_exec(db, schemaSql().c_str(), nullptr, nullptr, &message) != SQLITE_OK || !upgradeSchema(db, &message)) {
        error = "nie można przygotować bazy " + path + ": " + storeErrorText(sqlite3_errcode(db), message);
        sqlite3_free(message);
        sqlite3_close(db);
        return nullptr;
    }
    // WAL with NORMAL sync: a commit is durable against a crash of the program, and a power
    // cut loses at most the last rounds, never the file.
    sqlite3_exec(db, "PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr);
    // The thinning walks each module's rows by time, along polls_by_module.
    return std::make_unique<SqlitePolls>(db, path, limits.retention);
}

bool isPostgresAddress(const std::string& where) {
    return where.starts_with("postgresql://") || where.starts_with("postgres://");
}

} // namespace kavrel::fleet
