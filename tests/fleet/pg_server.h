// A PostgreSQL server of the test's own: a new cluster in a temporary folder, listening on a
// free loopback port only, run as an unprivileged user when the tests run as root (the
// server refuses root), stopped and removed at the end. stop() and start() again keep the
// data: an outage of the server as the fleet sees it.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"

namespace kavrel::testing {

class PgServer {
public:
    PgServer() {
        bin_ = findBinaries();
        if (bin_.empty()) {
            why_ = "PostgreSQL server binaries not found (/usr/lib/postgresql/*/bin; scripts/setup installs postgresql)";
            return;
        }
        char pattern[] = "/tmp/kavrel-pg-XXXXXX";
        if (!::mkdtemp(pattern)) {
            why_ = "no temporary folder";
            return;
        }
        dir_ = pattern;
        if (::getuid() == 0 && !pickUser()) {
            why_ = "running as root and no unprivileged user (postgres, nobody) to run the server";
            return;
        }
        if (uid_ >= 0 && ::chown(dir_.c_str(), static_cast<uid_t>(uid_), static_cast<gid_t>(gid_)) != 0) {
            why_ = "cannot hand the temporary folder to the server's user";
            return;
        }
        if (run({bin_ + "/initdb", "-D", data(), "-A", "trust", "-U", "kavrel", "-E", "UTF8", "--locale=C", "--no-sync",
                 "--no-instructions"}) != 0) {
            why_ = "initdb failed (see " + (dir_ / "server.log").string() + ")";
            return;
        }
        port_ = closedPort();
        if (!start()) why_ = "the server did not start (see " + (dir_ / "server.log").string() + ")";
    }
    ~PgServer() {
        stop();
        std::error_code ignored;
        if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
    }
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    // Empty when the server runs; else why the tests that need it are skipped.
    const std::string& unavailable() const { return why_; }
    std::string address(const std::string& database = "postgres") const {
        return "postgresql://kavrel@127.0.0.1:" + std::to_string(port_) + "/" + database;
    }
    // A fresh database for one test.
    std::string freshDatabase(const std::string& name) {
        exec("DROP DATABASE IF EXISTS " + name);
        exec("CREATE DATABASE " + name);
        return address(name);
    }
    bool exec(const std::string& sql, const std::string& database = "postgres") const {
        PGconn* c = PQconnectdb(address(database).c_str());
        PQsetNoticeProcessor(c, [](void*, const char*) {}, nullptr);
        PGresult* r = PQexec(c, sql.c_str());
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        PQclear(r);
        PQfinish(c);
        return ok;
    }

    bool start() {
        if (pid_ > 0) return true;
        pid_ = spawn({bin_ + "/postgres", "-D", data(), "-p", std::to_string(port_), "-k", dir_.string(), "-c",
                      "listen_addresses=127.0.0.1", "-c", "fsync=off", "-c", "synchronous_commit=off", "-c",
                      "full_page_writes=off", "-c", "max_connections=60", "-c", "shared_buffers=32MB"});
        for (int i = 0; i < 300 && pid_ > 0; ++i) {
            if (PQping(address().c_str()) == PQPING_OK) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // A fast shutdown: clients are cut off, as when the server's machine goes away.
    void stop() {
        if (pid_ > 0) endProcess(pid_, SIGINT);
    }

private:
    static std::string findBinaries() {
        std::vector<std::filesystem::path> found;
        std::error_code ignored;
        for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ignored))
            if (std::filesystem::exists(e.path() / "bin" / "postgres")) found.push_back(e.path() / "bin");
        if (found.empty()) return {};
        std::sort(found.begin(), found.end());
        return found.back().string();
    }
    bool pickUser() {
        for (const char* name : {"postgres", "nobody"}) {
            if (const passwd* p = ::getpwnam(name)) {
                uid_ = static_cast<int>(p->pw_uid);
                gid_ = static_cast<int>(p->pw_gid);
                return true;
            }
        }
        return false;
    }
    std::string data() const { return (dir_ / "data").string(); }

    pid_t spawn(const std::vector<std::string>& args) const {
        const std::string log = (dir_ / "server.log").string();
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid != 0) return pid;
        // The child: only calls that are safe after fork, then the program.
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        if (uid_ >= 0) {
            if (out >= 0 && ::fchown(out, static_cast<uid_t>(uid_), static_cast<gid_t>(gid_)) != 0) ::_exit(126);
            if (::setgroups(0, nullptr) != 0 || ::setgid(static_cast<gid_t>(gid_)) != 0 ||
                ::setuid(static_cast<uid_t>(uid_)) != 0)
                ::_exit(126);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int run(const std::vector<std::string>& args) const {
        pid_t pid = spawn(args);
        int status = 0;
        if (pid < 0 || ::waitpid(pid, &status, 0) < 0) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string bin_;
    std::filesystem::path dir_;
    std::string why_;
    int uid_ = -1, gid_ = -1;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// The one server of a test program, started at its first use.
inline PgServer& sharedPgServer() {
    static PgServer server;
    return server;
}

// Rows as text, NULL as "∅", numbers as the server prints them.
using PgTable = std::vector<std::vector<std::string>>;

inline PgTable pgRows(const std::string& address, const std::string& sql) {
    PGconn* c = PQconnectdb(address.c_str());
    PGresult* r = PQexec(c, sql.c_str());
    PgTable out;
    EXPECT_EQ(PQresultStatus(r), PGRES_TUPLES_OK) << PQerrorMessage(c);
    for (int i = 0; i < PQntuples(r); ++i) {
        out.emplace_back();
        for (int j = 0; j < PQnfields(r); ++j) out.back().push_back(PQgetisnull(r, i, j) ? "∅" : PQgetvalue(r, i, j));
    }
    PQclear(r);
    PQfinish(c);
    return out;
}

} // namespace kavrel::testing
