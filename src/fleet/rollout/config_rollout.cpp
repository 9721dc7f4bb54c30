#include "fleet/rollout/config_rollout.h"

#include <algorithm>
#include <future>

namespace kavrel::fleet {
namespace {

bool doneBefore(const RolloutRequest& request, const std::string& name) {
    if (request.resumed == nullptr) return false;
    const auto found = request.resumed->modules.find(name);
    if (found == request.resumed->modules.end() || !found->second.ended) return false;
    return found->second.outcome == outcome::kWritten || found->second.outcome == outcome::kUnchanged;
}

const std::vector<config::ModuleValue>& valuesOf(const RolloutRequest& request, const std::string& name) {
    static const std::vector<config::ModuleValue> none;
    const auto found = request.values.find(name);
    return found == request.values.end() ? none : found->second;
}

// Runs `work` for the given modules, `parallel` at a time, each on a thread of its own with
// copies of what it needs; the outcomes come back in the same order.
template <typename Work>
std::vector<ModuleOutcome> runModules(const RolloutRequest& request, const std::vector<std::size_t>& indexes,
                                      Work work, const std::function<void(const ModuleOutcome&)>& done) {
    std::vector<ModuleOutcome> outcomes;
    const std::size_t width = static_cast<std::size_t>(std::max(1, request.parallel));
    for (std::size_t start = 0; start < indexes.size(); start += width) {
        std::vector<std::future<ModuleOutcome>> running;
        for (std::size_t i = start; i < std::min(indexes.size(), start + width); ++i) {
            const FleetModule& module = request.modules[indexes[i]];
            running.push_back(std::async(std::launch::async, work, module, valuesOf(request, module.name),
                                         request.inputs));
        }
        for (auto& future : running) {
            outcomes.push_back(future.get());
            done(outcomes.back());
        }
    }
    return outcomes;
}

std::string countText(std::size_t count) {
    const std::size_t tens = count % 100;
    const char* word = count == 1 ? "moduł"
                       : (count % 10 >= 2 && count % 10 <= 4 && (tens < 12 || tens > 14)) ? "moduły"
                                                                                          : "modułów";
    return std::to_string(count) + " " + word;
}

void planAll(const RolloutRequest& request, RolloutReport& report, const RolloutProgress& progress) {
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < request.modules.size(); ++i) {
        if (doneBefore(request, request.modules[i].name)) {
            report.modules[i].outcome = request.resumed->modules.at(request.modules[i].name).outcome;
            report.modules[i].detail = "we wcześniejszym przebiegu";
        } else {
            toRead.push_back(i);
        }
    }
    progress("Odczyt " + std::to_string(toRead.size()) + (toRead.size() == 1 ? " modułu" : " modułów") + " przed wdrożeniem");
    const auto outcomes = runModules(request, toRead, planModule, [&](const ModuleOutcome& m) {
        std::string line = m.name + ": " + m.outcome;
        if (!m.detail.empty()) line += " (" + m.detail + ")";
        for (const config::FieldChange& change : m.changes)
            line += "\n  " + change.key + " (" + change.caption + "): " + change.before + " -> " + change.after;
        progress(line);
    });
    for (std::size_t i = 0; i < toRead.size(); ++i) report.modules[toRead[i]] = outcomes[i];
}

// One stage: its modules not done before, written; true when the run goes on.
bool runStage(const RolloutRequest& request, const std::vector<std::size_t>& stage, std::size_t number,
              RolloutReport& report, const RolloutProgress& progress) {
    std::vector<std::size_t> pending;
    for (const std::size_t i : stage)
        if (!doneBefore(request, request.modules[i].name)) pending.push_back(i);
    const bool canary = number == 1 && request.plan.canary > 0;
    progress("Etap " + std::to_string(number) + "/" + std::to_string(report.stages) + (canary ? " (próbny)" : "") +
             ": " + countText(pending.size()));
    for (const std::size_t i : pending)
        if (!appendModuleStart(request.statePath, request.modules[i].name)) {
            report.stateProblem = "nie można zapisać stanu wdrożenia " + request.statePath;
            return false;
        }
    std::size_t failures = 0;
    const auto outcomes = runModules(request, pending, applyModule, [&](const ModuleOutcome& m) {
        if (!m.succeeded()) ++failures;
        if (!appendModuleEnd(request.statePath, m.name, m.outcome))
            report.stateProblem = "nie można zapisać stanu wdrożenia " + request.statePath;
        progress(m.name + ": " + m.outcome + (m.detail.empty() ? "" : " (" + m.detail + ")"));
    });
    for (std::size_t k = 0; k < pending.size(); ++k) report.modules[pending[k]] = outcomes[k];
    ++report.stagesRun;
    if (!report.stateProblem.empty()) return false;
    if (stageStops(failures, stage.size(), request.plan.stopAtPercent)) {
        report.stopped = true;
        report.stopReason = "etap " + std::to_string(number) + ": " + std::to_string(failures) + " z " +
                            std::to_string(stage.size()) + " nieudanych (próg " +
                            std::to_string(request.plan.stopAtPercent) + "%)";
        return false;
    }
    return true;
}

} // namespace

bool RolloutReport::allSucceeded() const {
    if (stopped || !stateProblem.empty()) return false;
    return std::all_of(modules.begin(), modules.end(), [](const ModuleOutcome& m) { return m.succeeded(); });
}

RolloutReport runRollout(const RolloutRequest& request, const RolloutProgress& progress) {
    RolloutReport report;
    report.modules.resize(request.modules.size());
    for (std::size_t i = 0; i < request.modules.size(); ++i) {
        report.modules[i].name = request.modules[i].name;
        report.modules[i].endpoint = request.modules[i].endpoint();
    }
    const auto stages = stagesOf(request.modules.size(), request.plan);
    report.stages = stages.size();
    planAll(request, report, progress);
    if (request.dryRun) return report;
    for (std::size_t i = 0; i < request.modules.size(); ++i)   // what was only read goes back to "not reached"
        if (!doneBefore(request, request.modules[i].name)) {
            report.modules[i].outcome = outcome::kNotReached;
            report.modules[i].detail.clear();
        }
    for (std::size_t s = 0; s < stages.size(); ++s)
        if (!runStage(request, stages[s], s + 1, report, progress)) break;
    return report;
}

} // namespace kavrel::fleet
