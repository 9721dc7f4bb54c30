#include "fleet/fleet_poller.h"

#include "fleet/fleet_service.h"

namespace kavrel::fleet {
namespace {

// The poller runs no jobs: a runner and a sink that are never called.
class NoJobs final : public JobRunner, public JobSink {
public:
    JobReport run(const JobRequest&, const std::atomic<bool>&) override { return {}; }
    void jobDone(const JobReport&) override {}
    void scheduled(const JobSchedule&) override {}
    std::optional<WallTime> lastSuccess(const std::string&, JobKind) const override { return std::nullopt; }
    void finish() override {}
};

} // namespace

struct FleetPoller::Loop {
    Loop(const std::vector<FleetModule>& modules, FleetTiming timing, PollSink& sink)
        : registry(modules.size()), service(registry, plan(timing), sink, none, none, figures) {
        for (const auto& m : modules) registry.add(m);
    }
    static ServicePlan plan(FleetTiming timing) {
        ServicePlan p;
        p.interval = timing.interval;
        p.limits = timing.limits;
        p.jobs = 1;
        return p;
    }
    ModuleRegistry registry;
    NoJobs none;
    ServiceFigures figures;
    FleetService service;
};

FleetPoller::FleetPoller(const std::vector<FleetModule>& modules, FleetTiming timing, PollSink& sink)
    : loop_(std::make_unique<Loop>(modules, timing, sink)) {}

FleetPoller::~FleetPoller() = default;

void FleetPoller::setTrace(const std::shared_ptr<link::WireTrace>& trace) { loop_->service.setTrace(trace); }

FleetRunStats FleetPoller::run(std::chrono::milliseconds duration, const StopRequest& request) {
    return loop_->service.run(duration, request);
}

} // namespace kavrel::fleet
