// What `kavrel fleet poll` and `kavrel fleet serve` share: the polling options, the round's
// line on stdout, the outputs beside the database (MQTT, the time-series database, the
// metrics page, the wire trace) and the closing summary.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "cli/cli_context.h"
#include "fleet/fleet_poller.h"
#include "fleet/service_figures.h"
#include "fleet/fleet_store.h"
#include "fleet/influx_sink.h"
#include "fleet/message_spool.h"
#include "fleet/metrics/metrics_registry.h"
#include "fleet/metrics/metrics_server.h"
#include "fleet/metrics/poll_metrics.h"
#include "fleet/mqtt_publisher.h"
#include "link/trace/wire_trace.h"

namespace kavrel::cli {

struct FleetPollOptions {
    std::string hosts;
    std::string database = "kavrel-fleet.db";
    std::string broker;
    std::string spool;                // empty: DATABASE-mqtt.spool
    std::string metrics;              // ADDRESS:PORT of the metrics page; empty: none
    std::string influx;               // http://HOST:PORT/DB; its spool is DATABASE-influx.spool
    std::string discovery;            // --mqtt-discovery: "homeassistant" or none
    std::uint64_t spoolLimitMb = fleet::MessageSpool::kDefaultLimitBytes >> 20;
    double intervalSeconds = 5;
    double durationSeconds = 0;
    double keepRawDays = 0;           // 0: every poll kept
    double thinIntervalSeconds = 900;
    bool quiet = false;
};

// Seconds (a decimal number) from `minimum` to a year.
bool toSeconds(const std::string& text, double minimum, double& value);
// The options of `fleet poll`, which `fleet serve` takes too: "" or what is wrong.
std::string parsePollOptions(std::span<const std::string> args, FleetPollOptions& options);

// One line per round on stdout: how the round's polls ended. A poll this computer could not
// make is said once on stderr, with why.
class RoundReport final : public fleet::PollSink {
public:
    RoundReport(std::ostream& out, std::ostream& err, bool quiet) : out_(out), err_(err), quiet_(quiet) {}
    void record(const fleet::PollRecord& record) override {
        ++counts_[static_cast<std::size_t>(record.outcome)];
        if (record.outcome != fleet::Outcome::LocalError || localSaid_) return;
        localSaid_ = true;
        err_ << "kavrel fleet poll: nie można odpytać modułów z powodu błędu na tym komputerze ("
             << fleet::localErrorText(record.localError) << "); takie odczyty są zapisywane jako „"
             << fleet::outcomeLabel(fleet::Outcome::LocalError) << "”, nie jako brak odpowiedzi modułu" << std::endl;
    }
    void endRound() override {
        long long total = 0;
        for (const long long n : counts_) total += n;
        if (total == 0) return;
        ++round_;
        if (!quiet_) {
            out_ << "runda " << round_ << ": OK " << counts_[0] << ", brak odpowiedzi " << counts_[1] << ", odmowa "
                 << counts_[2] << ", pominięte " << counts_[3];
            if (counts_[4] > 0) out_ << ", błąd lokalny " << counts_[4];
            out_ << std::endl;
        }
        counts_ = {};
    }
    void finish() override {}

private:
    std::ostream& out_;
    std::ostream& err_;
    bool quiet_;
    bool localSaid_ = false;
    long long round_ = 0;
    std::array<long long, fleet::kOutcomeCount> counts_{};   // by Outcome
};

// Each module holds a socket open between its polls: the soft limit of open files goes up to
// the hard one, and a fleet that still does not fit is said before polling.
void raiseOpenFileLimit(std::size_t modules, std::ostream& err);
// The run's summary on stderr and its exit status: polls not stored, or not made for an
// error of this computer, are never passed over in silence.
int closingReport(CliContext& context, std::size_t modules, const fleet::FleetRunStats& stats,
                  const fleet::StoreTally& tally, const std::string& database);

// What `fleet poll` and `fleet serve` send beside the database: the MQTT broker, the
// time-series database, the metrics page and the wire trace, all from the same options.
struct FleetOutputs {
    fleet::MqttOptions mqtt;
    fleet::InfluxOptions influx;
    std::string metricsAddress;
    std::uint16_t metricsPort = 0;
    std::shared_ptr<link::WireTrace> trace;
    std::unique_ptr<fleet::MqttPublisher> publisher;
    std::unique_ptr<fleet::InfluxSink> timeSeries;
    fleet::metrics::MetricsRegistry registry;
    std::unique_ptr<fleet::metrics::PollMetrics> pollMetrics;
    std::unique_ptr<fleet::metrics::MetricsServer> metricsServer;
};

// The outputs' addresses checked and the trace opened, before anything is polled: kExitOk,
// else the exit status with the error said.
int prepareOutputs(CliContext& context, const std::string& command, const FleetPollOptions& options,
                   FleetOutputs& outputs);
// The outputs made and added to `sinks` (after the store and the round report); false when
// the metrics page cannot listen (said). `modules` must outlive the sinks.
bool attachOutputs(CliContext& context, const std::string& command, const FleetPollOptions& options,
                   const std::vector<fleet::FleetModule>& modules, fleet::FleetStore& store, fleet::SinkFan& sinks,
                   FleetOutputs& outputs);
// The sinks finished, the publisher first: its last count of dropped messages goes into the
// database.
void finishOutputs(fleet::SinkFan& sinks, FleetOutputs& outputs);
fleet::StoreLimits storeLimits(const FleetPollOptions& options);

} // namespace kavrel::cli
