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

// Where the service's job tables are kept: this SQLite file, or a PostgreSQL server. The poll
// loop and the job workers only queue rows here; each store's own thread writes them.
class JobTables : public JobSink {
public:
    virtual const std::string& error() const = 0;
    // Rows that could not be written (the reason said on stderr once).
    long long failedWrites() const;
    // Writes what is left and stops the writer.
    void finish() override;
    // The owner index's module name, for schedules (the loop knows only indices): the service's
    // registry is handed in once.
    void setNames(const std::vector<FleetModule>* modules) { modules_ = modules; }
    void jobDone(const JobReport& report) override;
    void scheduled(const JobSchedule& schedule) override;
    // From the reports, and from what the tables held when they were opened.
    std::optional<WallTime> lastSuccess(const std::string& module, JobKind kind) const override;

protected:
    struct Scheduled {
        std::string module;
        JobSchedule schedule;
    };
    using Item = std::variant<JobReport, Scheduled>;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Item> items_;   // for the writer thread
    std::map<std::pair<std::string, int>, WallTime> lastOk_;   // (module, kind) -> last success
    bool finishing_ = false;
    long long failed_ = 0;
    std::thread thread_;   // the writer, started by the store once it is open

private:
    std::map<std::size_t, std::string> names_;   // owner index -> module name (from the reports and schedules)
    const std::vector<FleetModule>* modules_ = nullptr;
};

class JobStore final : public JobTables {
public:
    explicit JobStore(const std::string& path);
    ~JobStore() override;
    JobStore(const JobStore&) = delete;
    JobStore& operator=(const JobStore&) = delete;

    const std::string& error() const override { return openError_; }

private:
    void writer();
    bool write(const Item& item);

    sqlite3* db_ = nullptr;
    std::string openError_;
    bool failureSaid_ = false;
};

} // namespace kavrel::fleet
