#include "cli/fleet_poll_options.h"

#include <charconv>
#include <sys/resource.h>

#include "cli/commands.h"
#include "cli/file_overlap.h"
#include "fleet/fleet_database.h"
#include "fleet/fleet_schema.h"

namespace kavrel::cli {

using namespace kavrel::fleet;

namespace {

// The sinks' own figures on the metrics page, read at the end of every round.
void addSinkFigures(metrics::PollMetrics& pollMetrics, const FleetStore& store, const MqttPublisher* publisher) {
    pollMetrics.addCollector([&store](metrics::MetricsRegistry& r) {
        r.set(metrics::kSpoolBytes, {{"sink", "database"}}, static_cast<double>(store.spoolBytes()));
        r.set(metrics::kSinkErrors, {{"sink", "database"}}, static_cast<double>(store.commitFailures()));
    });
    if (!publisher) return;
    pollMetrics.addCollector([publisher](metrics::MetricsRegistry& r) {
        r.set(metrics::kSpoolBytes, {{"sink", "mqtt"}}, static_cast<double>(publisher->spoolBytes()));
        r.set(metrics::kSinkErrors, {{"sink", "mqtt"}}, static_cast<double>(publisher->publishFailures()));
        r.set(metrics::kMqttDropped, {}, static_cast<double>(publisher->droppedFromSpool()));
    });
}

} // namespace

bool toSeconds(const std::string& text, double minimum, double& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && value >= minimum && value <= 86400.0 * 366;
}

std::string parsePollOptions(std::span<const std::string> args, FleetPollOptions& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (arg != "--hosts" && arg != "--db" && arg != "--mqtt" && arg != "--spool" && arg != "--spool-limit" &&
            arg != "--interval" && arg != "--duration" && arg != "--metrics" && arg != "--keep-raw" &&
            arg != "--thin-interval" && arg != "--influx" && arg != "--mqtt-discovery")
            return "nieoczekiwany argument " + arg;
        if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " wymaga wartości";
        const std::string& value = args[++i];
        if (arg == "--hosts") options.hosts = value;
        else if (arg == "--db") options.database = value;
        else if (arg == "--mqtt") options.broker = value;
        else if (arg == "--influx") options.influx = value;
        else if (arg == "--mqtt-discovery") {
            if (value != "homeassistant") return "--mqtt-discovery zna tylko homeassistant";
            options.discovery = value;
        }
        else if (arg == "--spool") options.spool = value;
        else if (arg == "--metrics") options.metrics = value;
        else if (arg == "--keep-raw") {
            if (!toSeconds(value, 0.01, options.keepRawDays) || options.keepRawDays > 36600)
                return "--keep-raw oczekuje dni, co najmniej 0.01";
        } else if (arg == "--thin-interval") {
            if (!toSeconds(value, 1, options.thinIntervalSeconds)) return "--thin-interval oczekuje sekund, co najmniej 1";
        }
        else if (arg == "--spool-limit") {
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.spoolLimitMb);
            if (error != std::errc{} || end != value.data() + value.size() || options.spoolLimitMb < 1 ||
                options.spoolLimitMb > 1'000'000)
                return "--spool-limit oczekuje megabajtów 1..1000000";
        } else if (arg == "--interval") {
            if (!toSeconds(value, 0.1, options.intervalSeconds)) return "--interval oczekuje sekund, co najmniej 0.1";
        } else if (!toSeconds(value, 0.1, options.durationSeconds)) {
            return "--duration oczekuje sekund, co najmniej 0.1";
        }
    }
    if (options.hosts.empty()) return "wymagane jest --hosts FLOTA.txt";
    if (!options.discovery.empty() && options.broker.empty()) return "--mqtt-discovery wymaga --mqtt HOST[:PORT]";
    return "";
}


// Each module holds a socket open between its polls: the soft limit of open files goes up to
// the hard one, and a fleet that still does not fit is said before polling.
void raiseOpenFileLimit(std::size_t modules, std::ostream& err) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    constexpr rlim_t kOwnFiles = 32;   // the database, its journal, the spool, the standard streams
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < modules + kOwnFiles)
        err << "kavrel fleet poll: limit otwartych plików (" << limit.rlim_cur << ", ulimit -n) jest za mały dla "
            << modules << " modułów; części z nich nie da się odpytać\n";
}


// The run's summary on stderr and its exit status: polls not stored, or not made for an
// error of this computer, are never passed over in silence.
int closingReport(CliContext& context, std::size_t modules, const FleetRunStats& stats, const StoreTally& tally,
                  const std::string& database) {
    context.err << "kavrel fleet poll: " << modules << " modułów, odczyty " << stats.polls << ", z odpowiedzią "
                << stats.answered << ", pominięte " << stats.skipped << "; baza " << database << "\n";
    if (stats.localErrors > 0)
        context.err << "kavrel fleet poll: odczyty, których nie dało się wykonać z powodu błędu na tym komputerze: "
                    << stats.localErrors << " (" << localErrorText(stats.firstLocalError) << ")\n";
    // Polls the database did not take are never passed over in silence.
    if (tally.waiting == 0 && tally.lost == 0) return stats.localErrors > 0 ? kExitFailure : kExitOk;
    const long long total = tally.stored + tally.waiting + tally.lost;
    context.err << "kavrel fleet poll: w bazie zapisano " << tally.stored << " z " << total << " odczytów"
                << (tally.reason.empty() ? "" : " (" + tally.reason + ")") << ".";
    if (tally.waiting > 0)
        context.err << " Odczyty (" << tally.waiting << ") czekają w pliku " << tally.spoolFile
                    << " i zostaną zapisane przy następnym uruchomieniu z tą bazą.";
    if (tally.lost > 0) context.err << " Odczyty (" << tally.lost << ") zostały utracone.";
    context.err << "\n";
    return kExitFailure;
}


// The outputs' addresses checked and the trace opened, before anything is polled: kExitOk,
// else the exit status with the error said.
int prepareOutputs(CliContext& context, const std::string& command, const FleetPollOptions& options,
                   FleetOutputs& outputs) {
    if (!options.broker.empty() && !parseBrokerAddress(options.broker, outputs.mqtt)) {
        context.err << command << ": --mqtt oczekuje HOST[:PORT] z portem 1..65535\n";
        return kExitUsage;
    }
    if (std::string error; !options.influx.empty() && !parseInfluxAddress(options.influx, outputs.influx, error)) {
        context.err << command << ": " << error << "\n";
        return kExitUsage;
    }
    if (!options.metrics.empty() &&
        !metrics::parseListenAddress(options.metrics, outputs.metricsAddress, outputs.metricsPort)) {
        context.err << command << ": --metrics oczekuje ADRES:PORT (adres IP, np. 127.0.0.1:9464 albo [::1]:9464)\n";
        return kExitUsage;
    }
    // The trace is written anew: it must name neither the fleet file nor the database.
    if (!outputsSpareInputs(context, {options.hosts, options.database})) return kExitFailure;
    if (!context.openTrace(outputs.trace)) return kExitFailure;
    return kExitOk;
}

// The outputs made and added to `sinks` (after the store and the round report); false when
// the metrics page cannot listen (said). `modules` must outlive the sinks.
bool attachOutputs(CliContext& context, const std::string& command, const FleetPollOptions& options,
                   const std::vector<FleetModule>& modules, FleetStore& store, SinkFan& sinks, FleetOutputs& outputs) {
    if (!options.broker.empty()) {
        outputs.mqtt.spoolFile = options.spool.empty() ? chooseFleetDatabase(options.database).localBase + "-mqtt.spool" : options.spool;
        outputs.mqtt.spoolLimitBytes = options.spoolLimitMb << 20;
        outputs.mqtt.homeAssistantDiscovery = options.discovery == "homeassistant";
        outputs.publisher = std::make_unique<MqttPublisher>(outputs.mqtt, modules);
        sinks.add(*outputs.publisher);
    }
    if (!options.influx.empty()) {
        outputs.influx.spoolFile = chooseFleetDatabase(options.database).localBase + "-influx.spool";
        outputs.influx.spoolLimitBytes = options.spoolLimitMb << 20;
        outputs.timeSeries = std::make_unique<InfluxSink>(outputs.influx, modules);
        sinks.add(*outputs.timeSeries);
    }
    outputs.pollMetrics = std::make_unique<metrics::PollMetrics>(outputs.registry, modules);
    if (!options.metrics.empty()) {
        outputs.metricsServer =
            std::make_unique<metrics::MetricsServer>(outputs.metricsAddress, outputs.metricsPort, outputs.registry);
        if (!outputs.metricsServer->error().empty()) {
            context.err << command << ": --metrics: " << outputs.metricsServer->error() << "\n";
            return false;
        }
        addSinkFigures(*outputs.pollMetrics, store, outputs.publisher.get());
        sinks.add(*outputs.pollMetrics);
        context.err << command << ": wskaźniki pod http://" << options.metrics.substr(0, options.metrics.rfind(':'))
                    << ":" << outputs.metricsServer->port() << "/metrics\n";
    }
    // From here on nothing returns before the sinks have finished: the store reads the
    // publisher's count until then.
    if (outputs.publisher)
        store.setFigures([p = outputs.publisher.get()] {
            return std::vector<std::pair<std::string, long long>>{{kMqttDroppedFigure, p->droppedFromSpool()}};
        });
    return true;
}

// The sinks finished, the publisher first: its last count of dropped messages goes into the
// database.
void finishOutputs(SinkFan& sinks, FleetOutputs& outputs) {
    if (outputs.publisher) outputs.publisher->finish();
    sinks.finish();
}

StoreLimits storeLimits(const FleetPollOptions& options) {
    StoreLimits limits;
    limits.retention.keepRawMs = static_cast<long long>(options.keepRawDays * 86'400'000.0);
    limits.retention.intervalMs = static_cast<long long>(options.thinIntervalSeconds * 1000);
    return limits;
}

} // namespace kavrel::cli
