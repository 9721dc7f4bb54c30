#include "fleet/metrics/poll_metrics.h"

#include "fleet/poll_values.h"

namespace kavrel::fleet::metrics {
namespace {

constexpr const char* kReading = "kavrel_fleet_reading";
constexpr const char* kState = "kavrel_fleet_module_state";
constexpr const char* kLastSuccess = "kavrel_fleet_last_success_timestamp_seconds";
constexpr const char* kPolls = "kavrel_fleet_polls_total";
constexpr const char* kLateness = "kavrel_fleet_poll_lateness_seconds";

} // namespace

void declareFleetFamilies(MetricsRegistry& registry) {
    const FamilyDeclaration families[] = {
        {kReading, Kind::Gauge, "The reading of a module's line at its last good poll, by line name and unit."},
        {kState, Kind::Gauge, "1 for the state of a module's last poll (ok, no answer, refused, local error)."},
        {kLastSuccess, Kind::Gauge, "Unix time of a module's last good poll."},
        {kPolls, Kind::Counter, "Polls by outcome, skipped ticks included."},
        {kLateness, Kind::Histogram, "How long after its schedule a poll began, in seconds.",
         {0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5}},
        {kSpoolBytes, Kind::Gauge, "Bytes waiting in a sink's spool file (database, mqtt)."},
        {kSinkErrors, Kind::Counter, "Writes a sink could not make at once (database commits, MQTT publishes)."},
        {kMqttDropped, Kind::Counter, "MQTT messages dropped from a full spool, oldest first."},
        {kJobs, Kind::Counter, "Jobs on the modules' links by kind and outcome."},
    };
    for (const FamilyDeclaration& family : families) registry.declare(family);
}

PollMetrics::PollMetrics(MetricsRegistry& registry, const std::vector<FleetModule>& modules)
    : registry_(registry), modules_(modules) {
    declareFleetFamilies(registry_);
    // Every outcome shows from the start, so that a rate over it never begins with a gap.
    for (const Outcome o : {Outcome::Ok, Outcome::NoAnswer, Outcome::Refused, Outcome::Skipped, Outcome::LocalError,
                            Outcome::Busy})
        registry_.add(kPolls, {{"outcome", outcomeText(o)}}, 0);
}

void PollMetrics::record(const PollRecord& record) {
    const FleetModule& module = modules_[record.module];
    registry_.add(kPolls, {{"outcome", outcomeText(record.outcome)}});
    // A skipped tick says nothing new of the module: the poll under way will. Nor does a busy
    // one (the service's job holds the link): the module keeps its state and readings.
    if (record.outcome == Outcome::Skipped || record.outcome == Outcome::Busy) return;
    registry_.observe(kLateness, {}, record.lateSeconds);
    registry_.replaceWhere(kState, "module", module.name, {{{{"module", module.name}, {"state", outcomeText(record.outcome)}}, 1}});
    std::vector<std::pair<Labels, double>> readings;
    if (record.outcome == Outcome::Ok && record.measurement) {
        registry_.set(kLastSuccess, {{"module", module.name}}, static_cast<double>(unixMs(record.started)) / 1000.0);
        const PollValues values = pollValues(record, module.settings);
        const auto addLine = [&](const LineValue& line) {
            if (line.number) readings.push_back({{{"module", module.name}, {"line", line.id}, {"name", line.name}, {"unit", line.unit}}, *line.number});
        };
        for (const LineValue& line : values.lines) addLine(line);
        if (values.extendedMode != 0 && record.extended)
            for (const LineValue& line : values.extended) addLine(line);
    }
    // Replaced whole: a failed poll leaves no reading of the module on the page.
    registry_.replaceWhere(kReading, "module", module.name, readings);
}

void PollMetrics::endRound() {
    for (const Collector& collect : collectors_) collect(registry_);
}

} // namespace kavrel::fleet::metrics
