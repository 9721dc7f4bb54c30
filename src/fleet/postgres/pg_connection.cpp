#include "fleet/postgres/pg_connection.h"

#include <libpq-fe.h>

#include <cstdio>
#include <regex>

namespace kavrel::fleet::postgres {
namespace {

std::string trimmed(const char* text) {
    // libpq's messages run over several lines: one line for the log.
    std::string s;
    for (const char* c = text ? text : ""; *c; ++c) {
        const bool space = *c == '\n' || *c == '\t' || *c == ' ';
        if (!space) s += *c;
        else if (!s.empty() && s.back() != ' ') s += ' ';
    }
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

} // namespace

PgResult::~PgResult() { PQclear(result_); }

PgResult& PgResult::operator=(PgResult&& other) noexcept {
    if (this != &other) {
        PQclear(result_);
        result_ = other.result_;
        other.result_ = nullptr;
    }
    return *this;
}

int PgResult::rows() const { return result_ ? PQntuples(result_) : 0; }
std::string PgResult::text(int row, int column) const {
    return result_ ? std::string(PQgetvalue(result_, row, column), static_cast<std::size_t>(PQgetlength(result_, row, column)))
                   : std::string();
}
bool PgResult::isNull(int row, int column) const { return !result_ || PQgetisnull(result_, row, column); }

std::optional<std::string> parameterText(const SqlValue& value) {
    if (const auto* i = std::get_if<long long>(&value)) return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&value)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", *d);
        return std::string(buffer);
    }
    if (const auto* t = std::get_if<std::string>(&value)) return *t;
    return std::nullopt;
}

PgConnection::PgConnection(std::string address, int connectTimeoutSeconds)
    : address_(std::move(address)), connectTimeout_(connectTimeoutSeconds) {}

PgConnection::~PgConnection() { drop(); }

bool PgConnection::validAddress(const std::string& address, std::string& error) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(address.c_str(), &message);
    if (!options) {
        error = message ? trimmed(message) : "brak pamięci";
        PQfreemem(message);
        return false;
    }
    PQconninfoFree(options);
    return true;
}

std::string PgConnection::describe() const {
    // user:secret@host -> user@host: a password never reaches a log line.
    static const std::regex password(R"(^(postgres(?:ql)?://[^:@/]*):[^@/]*@)");
    static const std::regex keyword(R"((password\s*=\s*)('[^']*'|\S+))");
    return std::regex_replace(std::regex_replace(address_, password, "$1@"), keyword, "$1***");
}

bool PgConnection::connected() const { return conn_ && PQstatus(conn_) == CONNECTION_OK; }

void PgConnection::drop() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
}

bool PgConnection::ensure() {
    if (connected()) return true;
    drop();
    // Defaults before the address, so that what the address says wins. A server that stops
    // answering mid-statement (a hung machine, a cut network) fails the statement within a
    // minute instead of holding the writer for ever: the rounds go to the spool meanwhile.
    const std::string timeout = std::to_string(connectTimeout_);
    const char* keys[] = {"connect_timeout", "application_name", "keepalives_idle", "keepalives_interval",
                          "keepalives_count", "tcp_user_timeout", "options", "dbname", nullptr};
    const char* values[] = {timeout.c_str(), "kavrel-fleet", "10", "5", "3", "30000", "-c statement_timeout=60000",
                            address_.c_str(), nullptr};
    conn_ = PQconnectdbParams(keys, values, 1);
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) {
        // Notices (a table that already exists) are no news to the operator.
        PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);
        return true;
    }
    error_ = "serwer PostgreSQL " + describe() + " nieosiągalny: " + trimmed(conn_ ? PQerrorMessage(conn_) : "brak pamięci");
    drop();
    return false;
}

PgResult PgConnection::run(const std::string& sql, const std::vector<SqlValue>& params) {
    if (!ensure()) return {};
    PGresult* result = nullptr;
    if (params.empty()) {
        result = PQexec(conn_, sql.c_str());
    } else {
        std::vector<std::optional<std::string>> texts;
        texts.reserve(params.size());
        for (const SqlValue& v : params) texts.push_back(parameterText(v));
        std::vector<const char*> pointers;
        pointers.reserve(texts.size());
        for (const auto& t : texts) pointers.push_back(t ? t->c_str() : nullptr);
        result = PQexecParams(conn_, sql.c_str(), static_cast<int>(pointers.size()), nullptr, pointers.data(), nullptr,
                              nullptr, 0);
    }
    const ExecStatusType status = result ? PQresultStatus(result) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return PgResult(result);
    error_ = "PostgreSQL: " + trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    PQclear(result);
    if (PQstatus(conn_) != CONNECTION_OK) {
        error_ = "połączenie z serwerem PostgreSQL " + describe() + " zerwane: " + trimmed(PQerrorMessage(conn_));
        drop();
    }
    return {};
}

} // namespace kavrel::fleet::postgres
