// One libpq connection, owned by one thread: connected on demand (a server that is down is
// tried again at the next use, each try bounded by a connect time-out), statements with text
// parameters, and the server's words turned into the operator's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "fleet/store_rows.h"

struct pg_conn;
struct pg_result;

namespace kavrel::fleet::postgres {

// A statement's result; empty when the statement failed.
class PgResult {
public:
    PgResult() = default;
    explicit PgResult(pg_result* result) : result_(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept : result_(other.result_) { other.result_ = nullptr; }
    PgResult& operator=(PgResult&& other) noexcept;
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    explicit operator bool() const { return result_ != nullptr; }
    int rows() const;
    std::string text(int row, int column) const;
    bool isNull(int row, int column) const;

private:
    pg_result* result_ = nullptr;
};

class PgConnection {
public:
    // `address`: a URI (postgresql://USER@HOST/DB) or key=value words, as libpq takes them;
    // the password from ~/.pgpass or PGPASSWORD, as libpq finds it.
    explicit PgConnection(std::string address, int connectTimeoutSeconds = 5);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Whether libpq can read the address at all; `error` says what is wrong with it.
    static bool validAddress(const std::string& address, std::string& error);

    // Connects when not connected; false with error() when the server cannot be reached.
    bool ensure();
    bool connected() const;
    // Runs `sql` (several statements when there are no parameters); an empty result and
    // error() on failure. A lost connection is dropped, to be made anew at the next ensure().
    PgResult run(const std::string& sql, const std::vector<SqlValue>& params = {});
    bool exec(const std::string& sql) { return static_cast<bool>(run(sql)); }
    const std::string& error() const { return error_; }
    // The address without a password written into it, for messages.
    std::string describe() const;

private:
    void drop();
    std::string address_;
    int connectTimeout_;
    pg_conn* conn_ = nullptr;
    std::string error_;
};

// The text libpq is given for a value (numbers in full precision); nullopt for NULL.
std::optional<std::string> parameterText(const SqlValue& value);

} // namespace kavrel::fleet::postgres
