// A small owner of an SQLite connection and its prepared statements: errors come back as
// SQLite's own text, statements are finalized by their owner, transactions roll back
// unless committed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace kavrel::logger::archive {

class Statement;

class Database {
public:
    Database() = default;
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens (creating when missing) the file, or, readOnly, an existing file without ever
    // writing to it; false with lastError() set on failure.
    bool open(const std::filesystem::path& file, bool readOnly = false);
    bool isOpen() const { return db_ != nullptr; }
    void close();

    // Runs statements without results; false with lastError() set.
    bool exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    std::int64_t lastInsertId() const;
    const std::string& lastError() const { return error_; }
    void noteError();

private:
    sqlite3* db_ = nullptr;
    std::string error_;
};

class Statement {
public:
    Statement() = default;
    Statement(Database& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement& operator=(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool valid() const { return stmt_ != nullptr; }
    // Binds by position, counted from 1; returns *this so that binds chain.
    Statement& bind(int at, std::int64_t value);
    Statement& bind(int at, std::string_view text);
    Statement& bind(int at, std::span<const std::uint8_t> blob);
    // A REAL, named apart so that an int argument never has two overloads to choose from.
    Statement& bindReal(int at, double value);
    // Steps once: true while a row is there. done() tells a finished statement from an error.
    bool step();
    bool done() const { return done_; }
    // Runs a statement without results to its end; false on an error.
    bool run();
    void reset();

    std::int64_t integer(int column) const;
    std::string text(int column) const;
    std::vector<std::uint8_t> blob(int column) const;

private:
    Database* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    bool done_ = false;
};

// BEGIN IMMEDIATE ... COMMIT; a transaction not committed is rolled back at its end.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool began() const { return began_; }
    bool commit();

private:
    Database& db_;
    bool began_ = false;
    bool finished_ = false;
};

} // namespace kavrel::logger::archive
