// The poll loop's figures on the metrics page: every answered line's reading (labelled with
// the module, the line, its name and unit), each module's state and the time of its last
// good poll, polls by outcome, how late polls began, and the sinks' own figures (spool
// bytes, errors, messages dropped) read at the end of every round. A module whose poll
// fails loses its readings from the page at once; its last-success time stays.
#pragma once

#include <functional>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/metrics/metrics_registry.h"
#include "fleet/poll_sink.h"

namespace kavrel::fleet::metrics {

// The families of every fleet process, declared once (the poller's and the service's jobs).
void declareFleetFamilies(MetricsRegistry& registry);

// Family names the sinks' figures are set under.
inline constexpr const char* kSpoolBytes = "kavrel_fleet_spool_bytes";
inline constexpr const char* kSinkErrors = "kavrel_fleet_sink_errors_total";
inline constexpr const char* kMqttDropped = "kavrel_fleet_mqtt_dropped_messages_total";
// For a job owner: kind ("poll", "collect", "backup") and outcome.
inline constexpr const char* kJobs = "kavrel_fleet_jobs_total";

class PollMetrics final : public PollSink {
public:
    using Collector = std::function<void(MetricsRegistry&)>;

    PollMetrics(MetricsRegistry& registry, const std::vector<FleetModule>& modules);
    // Run at the end of every round, on the poll loop's thread: it must only read figures.
    void addCollector(Collector collector) { collectors_.push_back(std::move(collector)); }

    void record(const PollRecord& record) override;
    void endRound() override;
    void finish() override { endRound(); }

private:
    MetricsRegistry& registry_;
    const std::vector<FleetModule>& modules_;
    std::vector<Collector> collectors_;
};

} // namespace kavrel::fleet::metrics
