#include "fleet/service_figures.h"

namespace kavrel::fleet {

ModuleFigures& ServiceFigures::at(std::size_t module) {
    if (figures_.modules.size() <= module) figures_.modules.resize(module + 1);
    return figures_.modules[module];
}

void ServiceFigures::poll(std::size_t module, Outcome outcome, double lateSeconds, long long startedMs) {
    std::lock_guard lock(mutex_);
    ++figures_.polls[static_cast<std::size_t>(outcome)];
    ModuleFigures& m = at(module);
    if (outcome == Outcome::Skipped || outcome == Outcome::Busy) return;
    m.lastOutcome = outcome;
    m.polled = true;
    if (outcome == Outcome::Ok) m.lastSuccessMs = startedMs;
    std::size_t bucket = 0;
    while (bucket < kLatenessBounds.size() && lateSeconds > kLatenessBounds[bucket]) ++bucket;
    ++figures_.lateness[bucket];
    figures_.latenessSum += lateSeconds;
    ++figures_.latenessCount;
}

void ServiceFigures::job(const JobReport& report) {
    std::lock_guard lock(mutex_);
    const auto k = static_cast<std::size_t>(report.kind);
    ++figures_.jobs[k][static_cast<std::size_t>(report.outcome)];
    if (report.outcome == JobOutcome::Ok) at(report.module).lastJobOkMs[k] = unixMs(report.ended);
}

void ServiceFigures::jobState(std::size_t module, bool running, int retriesCollect, int retriesBackup) {
    std::lock_guard lock(mutex_);
    ModuleFigures& m = at(module);
    m.jobRunning = running;
    m.retries = {retriesCollect, retriesBackup};
}

void ServiceFigures::queue(int running, int waiting) {
    std::lock_guard lock(mutex_);
    figures_.jobsRunning = running;
    figures_.jobsWaiting = waiting;
}

void ServiceFigures::moduleAdded(std::size_t module, const std::string& name) {
    std::lock_guard lock(mutex_);
    ModuleFigures& m = at(module);
    m = ModuleFigures{};
    m.name = name;
}

void ServiceFigures::moduleRemoved(std::size_t module) {
    std::lock_guard lock(mutex_);
    at(module).active = false;
}

FiguresSnapshot ServiceFigures::snapshot() const {
    std::lock_guard lock(mutex_);
    return figures_;
}

} // namespace kavrel::fleet
