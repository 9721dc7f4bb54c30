// The fleet service's job tables on a PostgreSQL server (`jobs`, `config_changes`,
// `module_jobs`: the SQLite file's columns and meaning), so that every service sharing the
// fleet sees each module's last collection and backup, and a module that moves to another
// service is not collected again before its time. Written on a thread of its own.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "fleet/job_store.h"

namespace kavrel::fleet::postgres {

class PgJobStore final : public JobTables {
public:
    // Reads the last successes (an unreachable server: none, said on stderr) and starts the writer.
    explicit PgJobStore(const std::string& address);
    ~PgJobStore() override;
    PgJobStore(const PgJobStore&) = delete;
    PgJobStore& operator=(const PgJobStore&) = delete;

    const std::string& error() const override { return openError_; }

private:
    void writer();

    std::string address_;
    std::string openError_;
};

} // namespace kavrel::fleet::postgres
