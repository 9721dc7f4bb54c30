// The fleet service's own figures: polls by outcome, poll lateness as a histogram, jobs by
// kind and outcome, and each module's state and last success. The loop and the job workers
// add to them as things happen; a reader (the closing summary, `fleet_bench`, a metrics
// endpoint) takes a snapshot() at any time from any thread. This is the one place a
// Prometheus endpoint plugs into `kavrel fleet serve`: it reads snapshots, never the loop.
#pragma once

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/fleet_jobs.h"
#include "fleet/poll_record.h"

namespace kavrel::fleet {

inline constexpr std::size_t kOutcomeCount = 6;   // Outcome's values, Busy included

// Upper bounds (seconds) of the lateness histogram's buckets; the last bucket is +Inf.
inline constexpr std::array<double, 8> kLatenessBounds{0.005, 0.01, 0.05, 0.1, 0.25, 0.5, 1.0, 5.0};

struct ModuleFigures {
    std::string name;
    bool active = true;                 // false once removed from the fleet file
    Outcome lastOutcome = Outcome::NoAnswer;
    bool polled = false;                // lastOutcome is known
    long long lastSuccessMs = 0;        // unix ms of the last good poll, 0 never
    std::array<long long, kJobKinds> lastJobOkMs{};   // unix ms of the last good job of each kind
    std::array<int, kJobKinds> retries{};
    bool jobRunning = false;
};

struct FiguresSnapshot {
    std::array<long long, kOutcomeCount> polls{};                       // by Outcome
    std::array<long long, kLatenessBounds.size() + 1> lateness{};       // cumulative counts are the reader's
    double latenessSum = 0;
    long long latenessCount = 0;
    std::array<std::array<long long, kJobOutcomes>, kJobKinds> jobs{};  // [kind][outcome]
    int jobsRunning = 0;
    int jobsWaiting = 0;
    std::vector<ModuleFigures> modules;                                 // by owner index
};

class ServiceFigures {
public:
    void poll(std::size_t module, Outcome outcome, double lateSeconds, long long startedMs);
    void job(const JobReport& report);
    void jobState(std::size_t module, bool running, int retriesCollect, int retriesBackup);
    void queue(int running, int waiting);
    void moduleAdded(std::size_t module, const std::string& name);
    void moduleRemoved(std::size_t module);
    FiguresSnapshot snapshot() const;

private:
    ModuleFigures& at(std::size_t module);
    mutable std::mutex mutex_;
    FiguresSnapshot figures_;
};

} // namespace kavrel::fleet
