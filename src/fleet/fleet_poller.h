// The fleet's schedule: every module is polled once per interval, the modules spread evenly
// over it, all from one thread waiting on every socket at once with poll() (the fleet
// service's loop, which keeps the due times in a heap so that a wake-up costs the same for
// 20 modules as for 10,000). A module whose
// poll is still running when its next one is due has that one skipped and recorded as
// skipped, never queued, so a module that recovers is not hit with a burst of polls. One
// thread and non-blocking sockets instead of a thread per module: the work per poll is a few
// hundred bytes, so one thread keeps hundreds of modules with a fraction of one core, and
// no module's time limit can hold another's schedule up.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/module_exchange.h"
#include "fleet/poll_sink.h"

namespace kavrel::fleet {

struct FleetTiming {
    std::chrono::milliseconds interval{5000};   // the monitor's poll period
    ExchangeLimits limits;
};

// Ending: `stop` lets the polls under way finish (each within its time limits) and starts
// no new ones; `abandon` drops them as well.
struct StopRequest {
    std::atomic<bool> stop{false};
    std::atomic<bool> abandon{false};
};

// Counters of a whole run, for the benchmark and the closing summary.
struct FleetRunStats {
    long long polls = 0;
    long long answered = 0;
    long long skipped = 0;
    long long localErrors = 0;   // polls this computer could not make
    int firstLocalError = 0;     // errno of the first of them
};

// `kavrel fleet poll`: the fleet service's loop (fleet_service.h, a heap of due times) with
// polls only, no jobs.
class FleetPoller {
public:
    FleetPoller(const std::vector<FleetModule>& modules, FleetTiming timing, PollSink& sink);
    ~FleetPoller();

    // Every module's polls from now on go to `trace`, a section each, named by the module.
    void setTrace(const std::shared_ptr<link::WireTrace>& trace);

    // Polls until `duration` has passed (zero: until stopped) or the request says stop.
    // The sink gets a record per poll and per skipped tick, an endRound() per interval and
    // after the last poll; finish() is the caller's.
    FleetRunStats run(std::chrono::milliseconds duration, const StopRequest& request);

private:
    struct Loop;
    std::unique_ptr<Loop> loop_;
};

} // namespace kavrel::fleet
