// The fleet's schedule: every module is polled once per interval, the modules spread evenly
// over it, all from one thread waiting on every socket at once with poll(). A module whose
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
    struct Slot {
        std::unique_ptr<ModuleExchange> exchange;
        std::string name;
        Steady::time_point nextDue;
        Steady::time_point due;      // the schedule of the poll under way
        Steady::time_point began;
        WallTime beganWall;
        long long sequence = 0;      // ticks so far
        long long polling = 0;       // the tick of the poll under way
    };

    void startDue(Steady::time_point now, bool scheduling);
    void finished(std::size_t index, Steady::time_point now);

    FleetTiming timing_;
    PollSink& sink_;
    std::vector<Slot> slots_;
    FleetRunStats stats_;
};

} // namespace kavrel::fleet
