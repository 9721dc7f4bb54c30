#include "logger/archive/sqlite_db.h"

#include <sqlite3.h>

#include <utility>

#include "common/file_names.h"

namespace kavrel::logger::archive {

Database::~Database() { close(); }

Database::Database(Database&& other) noexcept : db_(std::exchange(other.db_, nullptr)), error_(std::move(other.error_)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

bool Database::open(const std::filesystem::path& file, bool readOnly) {
    close();
    // UTF-8 names on every system: the path's own UTF-8 form, Polish letters included.
    const std::string name = pathToUtf8(file);
    const int rc = sqlite3_open_v2(name.c_str(), &db_,
                                   readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        error_ = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        close();
        return false;
    }
    // Another program holding the file (a second update) is waited for a moment, not failed at once.
    sqlite3_busy_timeout(db_, 5000);
    return true;
}

void Database::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool Database::exec(std::string_view sql) {
    char* message = nullptr;
    const std::string text(sql);
    if (sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
    error_ = message ? message : "SQLite error";
    sqlite3_free(message);
    return false;
}

Statement Database::prepare(std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr) != SQLITE_OK) {
        noteError();
        return {};
    }
    return Statement(*this, stmt);
}

std::int64_t Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

void Database::noteError() { error_ = db_ ? sqlite3_errmsg(db_) : "SQLite: no database"; }

Statement::~Statement() {
    if (stmt_) sqlite3_finalize(stmt_);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)), done_(other.done_) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        if (stmt_) sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
        done_ = other.done_;
    }
    return *this;
}

Statement& Statement::bind(int at, std::int64_t value) {
    if (stmt_) sqlite3_bind_int64(stmt_, at, value);
    return *this;
}

Statement& Statement::bind(int at, std::string_view text) {
    if (stmt_) sqlite3_bind_text(stmt_, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

Statement& Statement::bindReal(int at, double value) {
    if (stmt_) sqlite3_bind_double(stmt_, at, value);
    return *this;
}

Statement& Statement::bind(int at, std::span<const std::uint8_t> blob) {
    if (stmt_) sqlite3_bind_blob(stmt_, at, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    return *this;
}

bool Statement::step() {
    done_ = false;
    if (!stmt_) return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) done_ = true;
    else db_->noteError();
    return false;
}

bool Statement::run() {
    while (step()) {}
    const bool ok = done_;
    reset();
    return ok;
}

void Statement::reset() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t Statement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::text(int column) const {
    const auto* text = sqlite3_column_text(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                : std::string();
}

std::vector<std::uint8_t> Statement::blob(int column) const {
    const auto* data = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
    return data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>();
}

Transaction::Transaction(Database& db) : db_(db), began_(db.exec("BEGIN IMMEDIATE")) {}

Transaction::~Transaction() {
    if (began_ && !finished_) db_.exec("ROLLBACK");
}

bool Transaction::commit() {
    if (!began_ || finished_) return false;
    finished_ = db_.exec("COMMIT");
    return finished_;
}

} // namespace kavrel::logger::archive
