// `kavrel fleet serve`: one owner per module that holds the module's link and runs one job
// at a time on it: the live polls every interval (the poller's non-blocking exchange, all
// modules waited on at once from one loop), and, on their own schedules, a memory collection
// and a configuration backup. Those two block on the link, so each runs on a worker thread
// (at most `jobs` at once, over all modules) with copies in and a report back; the loop never
// waits on them. While a module's job holds its link, its polls are recorded as "busy" (one
// row per tick, never a burst afterwards). A failed job is retried after 1, 2, 4 ... minutes,
// never more than its own period.
//
// The schedule is a heap of due times: a wake-up touches only the modules that are due and
// the polls under way, so the loop's cost per poll stays flat from a few modules to
// thousands. A module's owner lives as long as the service: a module removed from the fleet
// file is retired (after its current job), a changed one is retired and a new owner takes its
// place, so indices in records stay valid for the sinks.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <queue>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_jobs.h"
#include "fleet/fleet_list.h"
#include "fleet/fleet_poller.h"
#include "fleet/module_exchange.h"
#include "fleet/module_ownership.h"
#include "fleet/poll_sink.h"
#include "fleet/service_figures.h"

namespace kavrel::fleet {

// How often each job runs; zero: the kind is not run. Durations as the command line gives them.
struct ServicePlan {
    std::chrono::milliseconds interval{5000};
    ExchangeLimits limits;
    std::array<std::chrono::milliseconds, kJobKinds> every{};   // by JobKind
    std::array<std::filesystem::path, kJobKinds> folders;       // archives, backups
    int jobs = 4;                                               // at most this many at once
    std::chrono::milliseconds firstRetry{60'000};               // doubled after each failure
    // Several services sharing the fleet: a module another service owns is neither polled nor
    // given jobs here (no row either). nullptr: every module is this service's.
    const Ownership* ownership = nullptr;
};

// The module registry the sinks index into: it only grows while the service runs (owners
// are retired, never removed), and it is reserved up front, so that a sink's thread reading
// an element never races with an element added behind it.
class ModuleRegistry {
public:
    explicit ModuleRegistry(std::size_t capacity) { modules_.reserve(capacity); }
    const std::vector<FleetModule>& modules() const { return modules_; }
    std::size_t size() const { return modules_.size(); }
    std::size_t capacity() const { return modules_.capacity(); }
    // False when full (the reload is then refused).
    bool add(const FleetModule& module) {
        if (modules_.size() == modules_.capacity()) return false;
        modules_.push_back(module);
        return true;
    }

private:
    std::vector<FleetModule> modules_;
};

// What a reload did, for the log line.
struct ReloadResult {
    bool applied = false;
    std::string error;   // "FILE:LINE: ..." of a refused file, or a full registry
    int added = 0, removed = 0, changed = 0;
};

struct ServiceRunStats : FleetRunStats {
    long long busy = 0;
    std::array<std::array<long long, kJobOutcomes>, kJobKinds> jobs{};
};

// stop (SIGTERM, Ctrl-C): no new polls or jobs, jobs cut at a batch; abandon (a second
// Ctrl-C): polls under way dropped too; reload (SIGHUP): read the fleet file again.
struct ServiceControl : StopRequest {
    std::atomic<bool> reload{false};
};

class FleetService {
public:
    FleetService(ModuleRegistry& registry, ServicePlan plan, PollSink& polls, JobRunner& runner, JobSink& jobs,
                 ServiceFigures& figures);
    ~FleetService();
    FleetService(const FleetService&) = delete;
    FleetService& operator=(const FleetService&) = delete;

    // Runs until `duration` (zero: until stopped) or control.stop; waits for the jobs under
    // way (cut at their next batch) before returning. `reloadList` reads the fleet file anew
    // when control.reload is set; `reloaded` hears what became of it.
    ServiceRunStats run(std::chrono::milliseconds duration, ServiceControl& control,
                        const std::function<FleetList()>& reloadList = {},
                        const std::function<void(const ReloadResult&)>& reloaded = {});
    // The same without reloads (`fleet poll`).
    ServiceRunStats run(std::chrono::milliseconds duration, const StopRequest& stop);

    // Every module's polls from now on go to `trace`, a section each, named by the module
    // (owners started later too).
    void setTrace(const std::shared_ptr<link::WireTrace>& trace);

    // Applies a new fleet list (the loop's thread; public for tests).
    ReloadResult apply(const FleetList& list, Steady::time_point now);

private:
    struct Owner;
    struct Due {
        Steady::time_point at;
        std::size_t owner;
        int what;             // -1 a poll, else a JobKind
        long long generation; // a stale entry (the owner retired, rescheduled) is dropped
        bool operator>(const Due& other) const { return at > other.at; }
    };

    void startOwner(std::size_t index, Steady::time_point now, Steady::time_point firstPoll);
    void retire(std::size_t index);
    void pollDue(std::size_t index, Steady::time_point due, Steady::time_point now);
    void pollFinished(std::size_t index, Steady::time_point now);
    void jobDue(std::size_t index, JobKind kind, Steady::time_point now);
    void dispatchJobs(Steady::time_point now);
    void jobReturned(const JobReport& report, Steady::time_point now);
    void schedule(std::size_t index, int what, Steady::time_point at);
    bool ownsModule(std::size_t index, Steady::time_point now) const;
    void worker();
    void wakeLoop();
    void publishJobState(std::size_t index);

    ModuleRegistry& registry_;
    ServicePlan plan_;
    PollSink& polls_;
    JobRunner& runner_;
    JobSink& jobSink_;
    ServiceFigures& figures_;
    std::vector<std::unique_ptr<Owner>> owners_;
    std::priority_queue<Due, std::vector<Due>, std::greater<>> heap_;
    std::vector<std::size_t> polling_;        // owners whose poll is under way
    std::deque<std::pair<std::size_t, JobKind>> waiting_;   // due jobs, in order
    int running_ = 0;
    // Modules (by name) with a job under way: a changed module's new owner waits for its old
    // owner's job, so that the module never sees two of them at once.
    std::map<std::string, int> runningByName_;
    ServiceRunStats runLoop(std::chrono::milliseconds duration, const StopRequest& stop, std::atomic<bool>* reload,
                            const std::function<FleetList()>& reloadList,
                            const std::function<void(const ReloadResult&)>& reloaded);

    ServiceRunStats stats_;
    std::shared_ptr<link::WireTrace> trace_;
    bool stopping_ = false;

    // The workers: the loop hands a request over, a worker hands a report back.
    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<JobRequest> handed_;
    std::deque<JobReport> returned_;
    bool workersEnd_ = false;
    std::atomic<bool> cut_{false};
    std::vector<std::thread> workers_;
    int wakeFd_ = -1;                          // eventfd: a report came back
};

// "90s", "15m", "6h", "1d" (and plain seconds); false for anything else or zero.
bool parseDuration(const std::string& text, std::chrono::milliseconds& value);

} // namespace kavrel::fleet
