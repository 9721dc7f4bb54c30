// The fleet database's job tables, written by the fleet service: a row per job in `jobs`
// (when, how it ended, records fetched and holes of a collection, the file and the number of
// changed fields of a backup), a row per changed field in `config_changes` (module, time,
// key, caption, before, after), and per module and job kind its last run, last success,
// next due time and retries in `module_jobs` (what `kavrel fleet status` shows). Written on
// the store's own thread: the poll loop and the job workers only hand rows over.
#pragma once

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <variant>

#include "fleet/fleet_jobs.h"

struct sqlite3;

namespace kavrel::fleet {

// Where the service's job tables are kept: this SQLite file, or a PostgreSQL server.
class JobTables : public JobSink {
public:
    virtual const std::string& error() const = 0;
    // Rows that could not be written (the reason said on stderr once).
    virtual long long failedWrites() const = 0;
    // The owner index's module name, for schedules (the loop knows only indices).
    virtual void setNames(const std::vector<FleetModule>* modules) = 0;
};

class JobStore final : public JobTables {
public:
    explicit JobStore(const std::string& path);
    ~JobStore() override;
    JobStore(const JobStore&) = delete;
    JobStore& operator=(const JobStore&) = delete;

    const std::string& error() const override { return openError_; }

    void jobDone(const JobReport& report) override;
    void scheduled(const JobSchedule& schedule) override;
    std::optional<WallTime> lastSuccess(const std::string& module, JobKind kind) const override;
    // Writes what is left and stops the writer.
    void finish() override;
    // Rows that could not be written (the reason said on stderr once).
    long long failedWrites() const override;

private:
    struct Scheduled {
        std::string module;
        JobSchedule schedule;
    };
    using Item = std::variant<JobReport, Scheduled>;
    void writer();
    bool write(const Item& item);

    sqlite3* db_ = nullptr;
    std::string openError_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> items_;
    std::map<std::pair<std::string, int>, WallTime> lastOk_;
    std::map<std::size_t, std::string> names_;   // owner index -> module name (from the reports and schedules)
    bool finishing_ = false;
    long long failed_ = 0;
    bool failureSaid_ = false;
    std::thread thread_;

public:
    // The owner index's module name, for schedules (the loop knows only indices): the service's
    // registry is handed in once.
    void setNames(const std::vector<FleetModule>* modules) override { modules_ = modules; }

private:
    const std::vector<FleetModule>* modules_ = nullptr;
};

} // namespace kavrel::fleet
