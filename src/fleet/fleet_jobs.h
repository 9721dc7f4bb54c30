// The fleet service's jobs: what a module's owner runs on the module's link besides its
// polls (a memory collection, a configuration backup), as a request with copies in and a
// report with the results back. A job's link operation blocks, so it runs on a worker
// thread of the service, never on the poll loop; everything it needs is in its request and
// everything it found is in its report. Later kinds (a staged configuration roll-out, an
// alarm's follow-up) are one more JobKind, one more branch of a JobRunner and one more
// period in ServicePlan.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet {

enum class JobKind : std::uint8_t { Collect, Backup };
inline constexpr std::size_t kJobKinds = 2;

// "collect", "backup": the stored and exported word; and the operator's Polish one.
const char* jobKindText(JobKind kind);
const char* jobKindLabel(JobKind kind);

enum class JobOutcome : std::uint8_t {
    Ok,        // done: everything the module showed is collected / the backup is taken
    Failed,    // the link or the local files failed; retried after a growing pause
    Cut,       // the service was ending: cut at a batch boundary, what was fetched is kept
};
inline constexpr std::size_t kJobOutcomes = 3;
const char* jobOutcomeText(JobOutcome outcome);

// A copy of everything a job needs: it never looks at the service's state.
struct JobRequest {
    std::size_t module = 0;        // the owner's index (stable for the service's run)
    JobKind kind = JobKind::Collect;
    FleetModule target;            // the module as the fleet file said it at dispatch
    std::filesystem::path folder;  // the archives' or the backups' folder
    int attempt = 1;               // 1 for a due job, 2.. for its retries
    WallTime due;                  // when it was due
};

// What a job found, handed back to the loop (and to the job store, on the worker thread).
struct JobReport {
    std::size_t module = 0;
    JobKind kind = JobKind::Collect;
    JobOutcome outcome = JobOutcome::Failed;
    std::string moduleName;
    WallTime started;
    WallTime ended;
    int attempt = 1;
    std::string error;             // UTF-8: why it failed ("" when it did not)
    // A collection: records archived, holes found (count and records lost), new segments.
    long long records = 0;
    long long holes = 0;
    long long lostRecords = 0;
    std::vector<std::string> newSegments;
    std::string archiveFile;
    // What the module's status said when the collection began: how full its memory is and
    // how far its clock is from this computer's (module minus computer, seconds).
    std::optional<double> memoryFillPercent;
    std::optional<double> clockOffsetSeconds;
    // A backup: the file kept ("" when the record was as the last one), the fields changed.
    struct Change {
        std::string key;
        std::string caption;       // UTF-8
        std::string before;
        std::string after;
    };
    std::string backupFile;
    std::string version;           // UTF-8, the module's version text
    std::vector<Change> changes;
    bool firstBackup = false;      // there was no earlier backup to compare with
};

// Runs one job's blocking link operation on the calling (worker) thread. `cut` becomes true
// when the service is ending: the runner stops at its next safe point (a batch boundary)
// with what it has committed. Must be safe to call from several threads at once for
// different modules.
class JobRunner {
public:
    virtual ~JobRunner() = default;
    virtual JobReport run(const JobRequest& request, const std::atomic<bool>& cut) = 0;
};

// A module's schedule of one job kind as the loop keeps it, for the operator's view.
struct JobSchedule {
    std::size_t module = 0;
    JobKind kind = JobKind::Collect;
    WallTime nextDue;
    int retries = 0;               // failed attempts in a row
};

// Where the jobs' reports and schedules go (the fleet database's job tables). jobDone is
// called on the worker thread that ran the job, after the job; scheduled on the loop, and
// must not wait.
class JobSink {
public:
    virtual ~JobSink() = default;
    virtual void jobDone(const JobReport& report) = 0;
    virtual void scheduled(const JobSchedule& schedule) = 0;
    // When the module's last good job of this kind ended (an earlier run's), so that a job
    // that is due is run at start and one that is not waits for its time. Must not wait.
    virtual std::optional<WallTime> lastSuccess(const std::string& module, JobKind kind) const = 0;
    virtual void finish() = 0;
};

} // namespace kavrel::fleet
