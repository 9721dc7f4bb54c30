// kavrel fleet: many modules polled at once over TCP into a SQLite database and, when asked,
// an MQTT broker; and the operator's view of that database.
#include <array>
#include <atomic>
#include <charconv>
#include <csignal>
#include <sys/resource.h>
#include <filesystem>
#include <memory>
#include <mutex>
#include <ostream>

#include "cli/fleet_config.h"
#include "cli/commands.h"
#include "cli/file_overlap.h"
#include "cli/fleet_alarm_options.h"
#include "fleet/alarms/alarm_service.h"
#include "common/file_names.h"
#include "fleet/fleet_poller.h"
#include "fleet/fleet_schema.h"
#include "fleet/fleet_service.h"
#include "fleet/job_store.h"
#include "fleet/link_jobs.h"
#include "fleet/fleet_status.h"
#include "fleet/metrics/metrics_server.h"
#include "fleet/metrics/poll_metrics.h"
#include "fleet/fleet_store.h"
#include "fleet/fleet_database.h"
#include "fleet/postgres/pg_status.h"
#ifdef KAVREL_POSTGRES
#include "fleet/postgres/fleet_lease.h"
#include "fleet/postgres/pg_job_store.h"
#endif
#include "fleet/influx_sink.h"
#include "fleet/mqtt_publisher.h"
#include "fleet/service_figures.h"

namespace kavrel::cli {
namespace {

using namespace kavrel::fleet;

StopRequest* activeStop = nullptr;

// The first Ctrl-C lets the polls under way finish; a second one abandons them.
void onInterrupt(int) {
    if (!activeStop) return;
    if (activeStop->stop) activeStop->abandon = true;
    activeStop->stop = true;
}

struct FleetPollOptions {
    std::string hosts;
    std::string database = "kavrel-fleet.db";
    std::string broker;
    std::string spool;                // empty: DATABASE-mqtt.spool
    std::string metrics;              // ADDRESS:PORT of the metrics page; empty: none
    std::string influx;               // http://HOST:PORT/DB; its spool is DATABASE-influx.spool
    std::string discovery;            // --mqtt-discovery: "homeassistant" or none
    std::uint64_t spoolLimitMb = MessageSpool::kDefaultLimitBytes >> 20;
    double intervalSeconds = 5;
    double durationSeconds = 0;
    double keepRawDays = 0;           // 0: every poll kept
    double thinIntervalSeconds = 900;
    bool quiet = false;
};

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

// One line per round on stdout: how the round's polls ended. A poll this computer could not
// make is said once on stderr, with why.
class RoundReport final : public PollSink {
public:
    RoundReport(std::ostream& out, std::ostream& err, bool quiet) : out_(out), err_(err), quiet_(quiet) {}
    void record(const PollRecord& record) override {
        ++counts_[static_cast<std::size_t>(record.outcome)];
        if (record.outcome != Outcome::LocalError || localSaid_) return;
        localSaid_ = true;
        err_ << "kavrel fleet poll: nie można odpytać modułów z powodu błędu na tym komputerze ("
             << localErrorText(record.localError) << "); takie odczyty są zapisywane jako „"
             << outcomeLabel(Outcome::LocalError) << "”, nie jako brak odpowiedzi modułu" << std::endl;
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
    std::array<long long, kOutcomeCount> counts_{};   // by Outcome
};

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

// What `fleet poll` and `fleet serve` send beside the database: the MQTT broker, the
// time-series database, the metrics page and the wire trace, all from the same options.
struct FleetOutputs {
    MqttOptions mqtt;
    InfluxOptions influx;
    std::string metricsAddress;
    std::uint16_t metricsPort = 0;
    std::shared_ptr<link::WireTrace> trace;
    std::unique_ptr<MqttPublisher> publisher;
    std::unique_ptr<InfluxSink> timeSeries;
    metrics::MetricsRegistry registry;
    std::unique_ptr<metrics::PollMetrics> pollMetrics;
    std::unique_ptr<metrics::MetricsServer> metricsServer;
};

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

int runFleetPoll(CliContext& context, std::span<const std::string> args) {
    FleetPollOptions options;
    if (const std::string error = parsePollOptions(args, options); !error.empty()) {
        context.err << "kavrel fleet poll: " << error << "\n";
        return kExitUsage;
    }
    FleetOutputs outputs;
    if (const int status = prepareOutputs(context, "kavrel fleet poll", options, outputs); status != kExitOk)
        return status;
    const FleetList fleet = loadFleetList(options.hosts);
    if (!fleet.error.empty()) {
        context.err << "kavrel fleet poll: " << fleet.error << "\n";
        return kExitFailure;
    }
    const auto ownStore = openFleetStore(chooseFleetDatabase(options.database), fleet.modules, storeLimits(options));
    FleetStore& store = *ownStore;
    if (!store.error().empty()) {
        context.err << "kavrel fleet poll: " << store.error() << "\n";
        return kExitFailure;
    }
    raiseOpenFileLimit(fleet.modules.size(), context.err);
    RoundReport report(context.out, context.err, options.quiet);
    SinkFan sinks;
    sinks.add(store);
    sinks.add(report);
    if (!attachOutputs(context, "kavrel fleet poll", options, fleet.modules, store, sinks, outputs)) return kExitFailure;

    FleetTiming timing;
    timing.interval = std::chrono::milliseconds(static_cast<long long>(options.intervalSeconds * 1000));
    FleetPoller poller(fleet.modules, timing, sinks);
    if (outputs.trace) poller.setTrace(outputs.trace);
    StopRequest stop;
    activeStop = &stop;
    const auto previousInt = std::signal(SIGINT, onInterrupt);
    const auto previousTerm = std::signal(SIGTERM, onInterrupt);
    const FleetRunStats stats =
        poller.run(std::chrono::milliseconds(static_cast<long long>(options.durationSeconds * 1000)), stop);
    finishOutputs(sinks, outputs);
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    activeStop = nullptr;
    return closingReport(context, fleet.modules.size(), stats, store.tally(), store.databaseName());
}


// --- kavrel fleet serve ---

ServiceControl* activeService = nullptr;

// SIGTERM and the first Ctrl-C end the service cleanly (jobs cut at a batch boundary,
// everything committed); a second Ctrl-C abandons polls under way; SIGHUP reads the fleet
// file again.
void onServiceSignal(int signal) {
    if (!activeService) return;
    if (signal == SIGHUP) {
        activeService->reload = true;
        return;
    }
    if (activeService->stop && signal == SIGINT) activeService->abandon = true;
    activeService->stop = true;
}

struct FleetServeOptions {
    FleetPollOptions poll;
    std::string archives;
    std::string backups;
    std::chrono::milliseconds collectEvery{3'600'000};
    std::chrono::milliseconds backupEvery{86'400'000};
    bool collectEveryGiven = false, backupEveryGiven = false;
    int jobs = 4;
    FleetAlarmOptions alarms;
    // A fleet on a PostgreSQL server is shared with the other services on it; 0: not shared.
    std::chrono::milliseconds lease{30'000};
    std::string member;               // this service's name among them; empty: HOST:PID
};

std::string parseServeOptions(std::span<const std::string> args, FleetServeOptions& options) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--archives" && arg != "--backups" && arg != "--collect-every" && arg != "--backup-every" &&
            arg != "--jobs" && arg != "--lease" && arg != "--member" && !isAlarmOption(arg)) {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " wymaga wartości";
        const std::string& value = args[++i];
        if (isAlarmOption(arg)) takeAlarmOption(arg, value, options.alarms);
        else if (arg == "--archives") options.archives = value;
        else if (arg == "--backups") options.backups = value;
        else if (arg == "--member") options.member = value;
        else if (arg == "--lease") {
            if (value == "0") options.lease = {};
            else if (!parseDuration(value, options.lease) || options.lease < std::chrono::seconds(3))
                return "--lease oczekuje czasu co najmniej 3s (np. 30s) albo 0 (bez dzielenia floty)";
        }
        else if (arg == "--jobs") {
            const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.jobs);
            if (error != std::errc{} || end != value.data() + value.size() || options.jobs < 1 || options.jobs > 256)
                return "--jobs oczekuje liczby 1..256";
        } else {
            auto& target = arg == "--collect-every" ? options.collectEvery : options.backupEvery;
            if (!parseDuration(value, target)) return arg + " oczekuje czasu, np. 90s, 15m, 6h, 1d";
            (arg == "--collect-every" ? options.collectEveryGiven : options.backupEveryGiven) = true;
        }
    }
    if (options.collectEveryGiven && options.archives.empty()) return "--collect-every wymaga --archives FOLDER";
    if (options.backupEveryGiven && options.backups.empty()) return "--backup-every wymaga --backups FOLDER";
    if (const std::string error = checkAlarmOptions(options.alarms); !error.empty()) return error;
    const std::string error = parsePollOptions(rest, options.poll);
    if (error.empty() && !options.member.empty() && !isPostgresAddress(options.poll.database))
        return "--member dotyczy floty dzielonej w bazie PostgreSQL (--db postgresql://...)";
    return error;
}

// Job results on stdout as they come (unless --quiet), then into the database and, with a
// metrics page, counted there by kind and outcome.
class JobReportLines final : public JobSink {
public:
    JobReportLines(JobSink& next, std::ostream& out, bool quiet, metrics::MetricsRegistry* metrics)
        : next_(next), out_(out), quiet_(quiet), metrics_(metrics) {}
    void jobDone(const JobReport& r) override {
        next_.jobDone(r);
        if (metrics_)
            metrics_->add(metrics::kJobs, {{"kind", r.kind == JobKind::Collect ? "collect" : "backup"},
                                           {"outcome", jobOutcomeText(r.outcome)}});
        if (quiet_) return;
        std::lock_guard lock(mutex_);
        out_ << r.moduleName << ": " << jobKindLabel(r.kind) << ": ";
        if (r.outcome == JobOutcome::Failed) out_ << "błąd (próba " << r.attempt << "): " << r.error;
        else if (r.outcome == JobOutcome::Cut) out_ << "przerwane przy końcu pracy, pobrano " << r.records;
        else if (r.kind == JobKind::Collect) out_ << "pobrano " << r.records << ", luki " << r.holes << " (" << r.lostRecords << " rekordów)";
        else if (r.firstBackup) out_ << "pierwsza kopia " << r.backupFile;
        else if (r.changes.empty()) out_ << "bez zmian";
        else out_ << "zmienione pola: " << r.changes.size() << ", kopia " << r.backupFile;
        out_ << std::endl;
    }
    void scheduled(const JobSchedule& s) override { next_.scheduled(s); }
    std::optional<WallTime> lastSuccess(const std::string& m, JobKind k) const override { return next_.lastSuccess(m, k); }
    void finish() override { next_.finish(); }

private:
    JobSink& next_;
    std::ostream& out_;
    bool quiet_;
    metrics::MetricsRegistry* metrics_;
    std::mutex mutex_;
};

// The service run with its signals: SIGINT and SIGTERM end it, SIGHUP reloads the fleet file.
ServiceRunStats runService(CliContext& context, const FleetServeOptions& options, ModuleRegistry& registry,
                           const ServicePlan& plan, PollSink& sinks, JobRunner& runner, JobSink& jobLines,
                           ServiceFigures& figures, const std::shared_ptr<link::WireTrace>& trace) {
    FleetService service(registry, plan, sinks, runner, jobLines, figures);
    if (trace) service.setTrace(trace);
    ServiceControl control;
    activeService = &control;
    struct sigaction action {};
    action.sa_handler = onServiceSignal;
    sigemptyset(&action.sa_mask);
    struct sigaction previousInt {}, previousTerm {}, previousHup {};
    sigaction(SIGINT, &action, &previousInt);
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGHUP, &action, &previousHup);
    context.err << "kavrel fleet serve: " << registry.size() << " modułów, odczyty co "
                << options.poll.intervalSeconds << " s"
                << (options.archives.empty() ? "" : ", pobieranie pamięci do " + options.archives)
                << (options.backups.empty() ? "" : ", kopie ustawień w " + options.backups) << std::endl;
    const std::string hosts = options.poll.hosts;
    const ServiceRunStats stats = service.run(
        std::chrono::milliseconds(static_cast<long long>(options.poll.durationSeconds * 1000)), control,
        [&hosts] { return loadFleetList(hosts); },
        [&context, &hosts](const ReloadResult& r) {
            if (!r.applied)
                context.err << "kavrel fleet serve: nowy " << hosts << " odrzucony, flota bez zmian: " << r.error
                            << std::endl;
            else
                context.err << "kavrel fleet serve: " << hosts << " wczytany ponownie: dodane " << r.added
                            << ", usunięte " << r.removed << ", zmienione " << r.changed << std::endl;
        });
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGHUP, &previousHup, nullptr);
    activeService = nullptr;
    return stats;
}

int runFleetServe(CliContext& context, std::span<const std::string> args) {
    FleetServeOptions options;
    if (const std::string error = parseServeOptions(args, options); !error.empty()) {
        context.err << "kavrel fleet serve: " << error << "\n";
        return kExitUsage;
    }
    FleetOutputs outputs;
    if (const int status = prepareOutputs(context, "kavrel fleet serve", options.poll, outputs); status != kExitOk)
        return status;
    const FleetList fleet = loadFleetList(options.poll.hosts);
    if (!fleet.error.empty()) {
        context.err << "kavrel fleet serve: " << fleet.error << "\n";
        return kExitFailure;
    }
    PreparedAlarms prepared;
    std::function<void(const std::string&, const std::string&)> publishAlarm;
    if (!options.poll.broker.empty())
        publishAlarm = [&outputs](const std::string& topic, const std::string& payload) {
            outputs.publisher->publishRetained(topic, payload);
        };
    if (!prepareAlarms(context, options.alarms, publishAlarm, prepared)) return kExitFailure;
    ModuleRegistry registry(std::max<std::size_t>(fleet.modules.size() * 2, fleet.modules.size() + 1024));
    for (const FleetModule& module : fleet.modules) registry.add(module);
    FleetDatabaseChoice database = chooseFleetDatabase(options.poll.database);
    const bool shared = database.postgres && options.lease.count() > 0;
    if (shared) database.member = options.member.empty() ? defaultMemberName() : options.member;
    const auto ownStore = openFleetStore(database, registry.modules(), storeLimits(options.poll));
    FleetStore& store = *ownStore;
    if (!store.error().empty()) {
        context.err << "kavrel fleet serve: " << store.error() << "\n";
        return kExitFailure;
    }
#ifdef KAVREL_POSTGRES
    // Services on one server share its fleet: each polls the modules its lease gives it.
    std::unique_ptr<postgres::FleetLease> lease;
    if (shared) {
        lease = std::make_unique<postgres::FleetLease>(options.poll.database,
                                                       postgres::LeaseOptions{.lease = options.lease, .member = database.member});
        context.err << "kavrel fleet serve: flota dzielona z innymi usługami w bazie jako " << database.member
                    << ", dzierżawa " << static_cast<double>(options.lease.count()) / 1000.0 << " s" << std::endl;
    }
#endif
    std::unique_ptr<JobTables> ownJobs;
#ifdef KAVREL_POSTGRES
    if (database.postgres) ownJobs = std::make_unique<postgres::PgJobStore>(options.poll.database);
#endif
    if (!ownJobs) ownJobs = std::make_unique<JobStore>(database.jobsFile);
    JobTables& jobStore = *ownJobs;
    if (!jobStore.error().empty()) {
        context.err << "kavrel fleet serve: " << jobStore.error() << "\n";
        return kExitFailure;
    }
    jobStore.setNames(&registry.modules());
    raiseOpenFileLimit(fleet.modules.size(), context.err);
    RoundReport report(context.out, context.err, true);
    SinkFan sinks;
    sinks.add(store);
    sinks.add(report);
    if (!attachOutputs(context, "kavrel fleet serve", options.poll, registry.modules(), store, sinks, outputs))
        return kExitFailure;
    JobReportLines jobLines(jobStore, context.out, options.poll.quiet, outputs.metricsServer ? &outputs.registry : nullptr);
    // The alarms start after the outputs, so that their MQTT messages find the publisher.
    std::unique_ptr<alarms::AlarmService> alarmService;
    std::mutex alarmLogMutex;
    if (!options.alarms.rules.empty()) {
        alarmService = std::make_unique<alarms::AlarmService>(
            std::move(prepared.rules), registry.modules(), options.poll.database, std::move(prepared.senders),
            [&context, &alarmLogMutex, quiet = options.poll.quiet](const std::string& line) {
                if (quiet) return;
                std::lock_guard lock(alarmLogMutex);
                context.out << line << std::endl;
            });
        if (!alarmService->error().empty()) {
            context.err << "kavrel fleet serve: alarmy: " << alarmService->error() << "\n";
            return kExitFailure;
        }
        sinks.add(*alarmService);
    }
    alarms::AlarmJobTap jobTap(jobLines, alarmService.get());
    LinkJobRunner runner;
    ServiceFigures figures;
    ServicePlan plan;
    plan.interval = std::chrono::milliseconds(static_cast<long long>(options.poll.intervalSeconds * 1000));
    plan.jobs = options.jobs;
#ifdef KAVREL_POSTGRES
    plan.ownership = lease.get();
#endif
    if (!options.archives.empty()) {
        plan.every[static_cast<std::size_t>(JobKind::Collect)] = options.collectEvery;
        plan.folders[static_cast<std::size_t>(JobKind::Collect)] = pathFromUtf8(options.archives);
    }
    if (!options.backups.empty()) {
        plan.every[static_cast<std::size_t>(JobKind::Backup)] = options.backupEvery;
        plan.folders[static_cast<std::size_t>(JobKind::Backup)] = pathFromUtf8(options.backups);
    }
    const ServiceRunStats stats = runService(context, options, registry, plan, sinks, runner, jobTap, figures,
                                             outputs.trace);
    if (alarmService) alarmService->finish();   // before the publisher says goodbye
    finishOutputs(sinks, outputs);
    jobLines.finish();
    const auto& jobs = stats.jobs;
    context.err << "kavrel fleet serve: odczyty " << stats.polls << ", z odpowiedzią " << stats.answered
                << ", pominięte " << stats.skipped << ", zajęte " << stats.busy << "; pobrania pamięci: udane "
                << jobs[0][0] << ", nieudane " << jobs[0][1] << ", przerwane " << jobs[0][2] << "; kopie: udane "
                << jobs[1][0] << ", nieudane " << jobs[1][1] << "; baza " << store.databaseName() << "\n";
    const StoreTally tally = store.tally();
    if (tally.waiting == 0 && tally.lost == 0 && jobStore.failedWrites() == 0) return kExitOk;
    context.err << "kavrel fleet serve: w bazie zapisano " << tally.stored << " z "
                << tally.stored + tally.waiting + tally.lost << " odczytów"
                << (tally.reason.empty() ? "" : " (" + tally.reason + ")") << "; niezapisane wyniki zadań: "
                << jobStore.failedWrites() << "\n";
    return kExitFailure;
}

int runFleetStatus(CliContext& context, std::span<const std::string> args) {
    const bool json = !args.empty() && args.back() == "--json";
    if (args.size() != (json ? 2u : 1u) || args[0].starts_with("--")) {
        context.err << "kavrel fleet status: oczekiwano bazy FLOTA.db [--json]\n";
        return kExitUsage;
    }
    const FleetStatus status = isPostgresAddress(args[0]) ? postgres::readPostgresStatus(args[0]) : readFleetStatus(args[0]);
    if (!status.error.empty()) {
        context.err << "kavrel fleet status: " << status.error << "\n";
        return kExitFailure;
    }
    context.out << (json ? fleetStatusJson(status.modules) : formatFleetStatus(status.modules) + formatPollerFigures(status));
    return kExitOk;
}

} // namespace

const HelpText& fleetUsage() {
    static const HelpText text{
        "użycie: kavrel fleet poll --hosts FLOTA.txt [--db FLOTA.db] [--mqtt HOST[:PORT]] [--interval S]\n"
        "                          [--duration S] [--spool PLIK] [--spool-limit MB] [--metrics ADRES:PORT]\n"
        "                          [--keep-raw DNI [--thin-interval S]] [--quiet]\n"
        "                          [--influx http://HOST:PORT/BAZA] [--mqtt-discovery homeassistant]\n"
        "        kavrel fleet serve --hosts FLOTA.txt [--db FLOTA.db] [--archives FOLDER] [--backups FOLDER]\n"
        "                           [--interval S] [--collect-every CZAS] [--backup-every CZAS] [--jobs N]\n"
        "                           [--mqtt HOST[:PORT]] [--duration S] [--spool PLIK] [--spool-limit MB] [--quiet]\n"
        "                           [--metrics ADRES:PORT] [--keep-raw DNI [--thin-interval S]]\n"
        "                           [--influx http://HOST:PORT/BAZA] [--mqtt-discovery homeassistant]\n"
        "                           [--alarms REGUŁY.txt [--notify CEL]... [--notify-secrets PLIK]]\n"
        "                           [--db postgresql://UŻYTKOWNIK@HOST/BAZA [--lease CZAS] [--member NAZWA]]\n"
        "        kavrel fleet status FLOTA.db|postgresql://... [--json]\n"
        "        kavrel fleet alarms FLOTA.db [--module NAZWA] [--since CZAS] [--json]\n"
        "poll: odpytuje każdy moduł z FLOTA.txt co S sekund (domyślnie 5) tak jak Kavrel-Monitor (DEBUG=0\n"
        "i VER? raz na połączenie, MSR? i MSRX? w każdym odczycie), każdy przez własne połączenie TCP,\n"
        "wszystkie naraz: moduł milczący, wolny albo odmawiający nie opóźnia innych. Odczyt, który trwa\n"
        "jeszcze w chwili następnego, sprawia, że następny jest pomijany. FLOTA.txt: jeden moduł\n"
        "w wierszu, NAZWA HOST[:PORT] [USTAWIENIA.CFG] (domyślnie port 23; plik ustawień monitora,\n"
        "względem FLOTA.txt, nazywa linie); wiersze zaczynające się od # są pomijane. Każdy odczyt\n"
        "staje się wierszem bazy SQLite (domyślnie kavrel-fleet.db); z --mqtt komunikatem JSON\n"
        "w kavrel/NAZWA/pomiar, a stan modułu w kavrel/NAZWA/stan. Komunikaty, których broker nie\n"
        "przyjął, czekają w pliku kolejki (domyślnie FLOTA.db-mqtt.spool, najwyżej 64 MB; ponad\n"
        "--spool-limit najstarsze są porzucane). Z --influx każda runda trafia jako line protocol\n"
        "(kavrel_odczyt: tagi modul, linia, nazwa, jednostka, pola wartosc i stan; kavrel_modul: wynik,\n"
        "czas_ms, gsm; czas odczytu w ns) do bazy szeregów czasowych; czego baza nie przyjęła, czeka\n"
        "w FLOTA.db-influx.spool. --mqtt-discovery homeassistant ogłasza każdy moduł jako urządzenie:\n"
        "zachowany komunikat konfiguracji na encję (odczyt i stan każdej linii, alarm, GSM)\n"
        "w homeassistant/.../config, przy pierwszej odpowiedzi modułu i gdy zmienią się jego linie.\n"
        "Działa, aż minie --duration albo do Ctrl-C (drugie\n"
        "Ctrl-C porzuca trwające odczyty). Odczyty, których baza nie przyjmuje (zablokowana przez inny\n"
        "program, pełny dysk), czekają w pliku FLOTA.db-rounds.spool i trafiają do bazy w kolejności,\n"
        "najpóźniej przy następnym uruchomieniu. Odczyt niezapisany w bazie albo niewykonany z powodu\n"
        "błędu tego komputera („błąd lokalny”, np. za mały limit otwartych plików) kończy polecenie\n"
        "kodem 1. Z --metrics pod http://ADRES:PORT/metrics wskaźniki dla Prometheusa: odczyty linii\n"
        "(z nazwą i jednostką), stany modułów, odczyty według wyniku, opóźnienia, kolejki i błędy zapisu.\n"
        "Z --keep-raw baza trzyma wszystkie odczyty przez DNI dni, starsze przerzedza do jednego wiersza\n"
        "na moduł i --thin-interval sekund (domyślnie 900; pierwszy udany odczyt w tym czasie).\n"
        "serve: usługa floty: odczyty jak poll, a do tego co --collect-every (domyślnie 1h) pobranie\n"
        "pamięci każdego modułu do FOLDER/NAZWA.db (jak logger archive update: tylko nowe rekordy, luki\n"
        "zapisane) i co --backup-every (domyślnie 1d) kopia ustawień (jak config read) w FOLDER/NAZWA/,\n"
        "zachowana tylko, gdy różni się od poprzedniej; zmienione pola trafiają do tabeli config_changes.\n"
        "CZAS: 90s, 15m, 6h, 1d. Zadanie należne jest wykonywane także od razu po uruchomieniu. Na łączu\n"
        "modułu naraz tylko jedno zadanie; w czasie pobierania lub kopii odczyty modułu są zapisywane\n"
        "jako „zajęty”. Naraz najwyżej --jobs zadań (domyślnie 4). Nieudane zadanie jest ponawiane po\n"
        "1, 2, 4... min, najdłużej po swoim okresie. SIGHUP wczytuje FLOTA.txt ponownie (błędny plik jest\n"
        "odrzucany z numerem wiersza, flota zostaje bez zmian); SIGTERM kończy pracę po zapisaniu\n"
        "wszystkiego (pobieranie przerwane na granicy paczki). Z --metrics także zadania według rodzaju\n"
        "i wyniku.\n"
        "status: stan każdego modułu (OK, brak odpowiedzi, odmowa, pominięty, błąd lokalny, zajęty),\n"
        "jego ostatni udany odczyt i liczby odczytów, błędów i pominiętych odczytów; dla usługi także\n"
        "ostatnie pobranie pamięci (rekordy, luki), ostatnia kopia (zmienione pola), następny termin\n"
        "i ponowienia. --json: to samo jako obiekt JSON.\n"
        "--alarms: reguły alarmów (REGUŁY.txt, sprawdzane w całości przed startem); powiadomienia\n"
        "grupowane, bez burz i migotania, przez --notify smtp://[UŻYTKOWNIK@]HOST[:PORT]?from=ADRES&to=ADRES,\n"
        "http[s]://HOST[:PORT]/ŚCIEŻKA, exec:PROGRAM (JSON na wejściu) i z --mqtt kavrel/NAZWA/alarm;\n"
        "hasło poczty w pliku --notify-secrets (wiersze UŻYTKOWNIK@HOST HASŁO).\n"
        "alarms: zdarzenia alarmów obok zdarzeń zapisanych przez moduł (z pobranej pamięci), wg czasu.\n"
        "--db postgresql://UŻYTKOWNIK@HOST/BAZA: baza na serwerze PostgreSQL zamiast pliku (hasło z ~/.pgpass\n"
        "albo PGPASSWORD, nigdy w wierszu poleceń): te same tabele, każda runda w jednej transakcji, odczyt\n"
        "z kluczem (moduł, slot), więc ponowiony zapis niczego nie podwaja. Gdy serwer nie odpowiada, rundy\n"
        "czekają w kavrel-fleet-pg-rounds.spool w katalogu roboczym (kolejki MQTT i influx także tam; tabele\n"
        "zadań też na serwerze). Usługi serve z tym samym FLOTA.txt i tą samą bazą dzielą moduły: każda\n"
        "odnawia swoją dzierżawę (--lease, domyślnie 30s; 0: bez dzielenia), moduł należy do jednej żywej\n"
        "usługi; moduły usługi, która padła, przejmują inne po czasie dzierżawy. Usługa bez dzierżawy (baza\n"
        "nieosiągalna) nie odpytuje. --member: nazwa usługi (domyślnie HOST:PID); status --json podaje\n"
        "\"owner\" każdego modułu. Wersja bez libpq (Windows) odrzuca adres postgresql:// z wyjaśnieniem.\n",
        "usage: kavrel fleet poll --hosts FLEET.txt [--db FLEET.db] [--mqtt HOST[:PORT]] [--interval S]\n"
           "                         [--duration S] [--spool FILE] [--spool-limit MB] [--metrics ADDRESS:PORT]\n"
           "                         [--keep-raw DAYS [--thin-interval S]] [--quiet]\n"
           "                         [--influx http://HOST:PORT/DB] [--mqtt-discovery homeassistant]\n"
           "       kavrel fleet serve --hosts FLEET.txt [--db FLEET.db] [--archives DIR] [--backups DIR]\n"
           "                          [--interval S] [--collect-every TIME] [--backup-every TIME] [--jobs N]\n"
           "                          [--mqtt HOST[:PORT]] [--duration S] [--spool FILE] [--spool-limit MB] [--quiet]\n"
           "                          [--metrics ADDRESS:PORT] [--keep-raw DAYS [--thin-interval S]]\n"
           "                          [--influx http://HOST:PORT/DB] [--mqtt-discovery homeassistant]\n"
           "                          [--alarms RULES.txt [--notify TARGET]... [--notify-secrets FILE]]\n"
           "                          [--db postgresql://USER@HOST/DB [--lease TIME] [--member NAME]]\n"
           "       kavrel fleet status FLEET.db|postgresql://... [--json]\n"
           "       kavrel fleet alarms FLEET.db [--module NAME] [--since TIME] [--json]\n"
           "poll: polls every module of FLEET.txt every S seconds (default 5) as Kavrel-Monitor does (DEBUG=0\n"
           "and VER? once per connection, MSR? and MSRX? per poll), each over its own TCP connection, all at\n"
           "once: a silent, slow or refusing module delays no other. A poll still running when the next one\n"
           "is due makes that one skipped. FLEET.txt: one module a line, NAME HOST[:PORT] [SETTINGS.CFG]\n"
           "(port 23 by default; the monitor settings file, relative to FLEET.txt, names the lines); lines\n"
           "starting with # are skipped. Every poll becomes a row of the SQLite database (default\n"
           "kavrel-fleet.db); with --mqtt a JSON message on kavrel/NAME/pomiar and the module's state on\n"
           "kavrel/NAME/stan. Messages the broker has not taken wait in the spool file (default\n"
           "FLEET.db-mqtt.spool, at most 64 MB, the oldest dropped beyond --spool-limit). With --influx\n"
           "each round goes as line protocol (kavrel_odczyt: tags modul, linia, nazwa, jednostka, fields\n"
           "wartosc and stan; kavrel_modul: wynik, czas_ms, gsm; the poll's time in ns) to the time-series\n"
           "database; what it has not taken waits in FLEET.db-influx.spool. --mqtt-discovery homeassistant\n"
           "announces each module as a device: a retained configuration message per entity (each line's\n"
           "reading and state, the alarm, GSM) on homeassistant/.../config, at the module's first answer\n"
           "and when its lines change. Runs until\n"
           "--duration has passed or Ctrl-C (a second Ctrl-C abandons polls under way). Polls the database\n"
           "does not take (locked by another program, a full disk) wait in FLEET.db-rounds.spool and reach\n"
           "the database in order, at the latest at the next run. A poll not stored, or not made for an\n"
           "error of this computer (\"błąd lokalny\", e.g. too low a limit of open files), ends the command\n"
           "with exit status 1. With --metrics, http://ADDRESS:PORT/metrics serves figures for Prometheus: line\n"
           "readings (with name and unit), module states, polls by outcome, lateness, spools and write errors.\n"
           "With --keep-raw the database keeps every poll for DAYS days and thins older ones to one row per\n"
           "module and --thin-interval seconds (default 900; the first answered poll in that time).\n"
           "serve: the fleet service: polls as poll does, and every --collect-every (default 1h) each\n"
           "module's memory collected into DIR/NAME.db (as logger archive update: only new records, holes\n"
           "kept) and every --backup-every (default 1d) its configuration backed up (as config read) in\n"
           "DIR/NAME/, kept only when it differs from the last one; the fields changed go to the\n"
           "config_changes table. TIME: 90s, 15m, 6h, 1d. A job that is due also runs at start. One job at\n"
           "a time on a module's link; while a collection or backup runs, the module's polls are recorded\n"
           "as \"zajęty\" (busy). At most --jobs jobs at once (default 4). A failed job is retried after\n"
           "1, 2, 4 ... min, at most after its own period. SIGHUP reads FLEET.txt again (a bad file is\n"
           "refused with its line number, the fleet kept as it was); SIGTERM ends once everything is\n"
           "committed (a collection cut at a batch boundary). With --metrics also jobs by kind and outcome.\n"
           "status: each module's state (OK, brak odpowiedzi, odmowa, pominięty, błąd lokalny, zajęty), its\n"
           "last good poll and its counts of polls, failures and skipped polls; for the service also the\n"
           "last collection (records, holes), the last backup (changed fields), the next due times and\n"
           "the retries. --json: the same as a JSON object.\n"
           "--alarms: alarm rules (RULES.txt, checked whole before start); grouped notifications without\n"
           "storms or flapping through --notify smtp://[USER@]HOST[:PORT]?from=ADDR&to=ADDR,\n"
           "http[s]://HOST[:PORT]/PATH, exec:PROGRAM (JSON on its stdin) and with --mqtt kavrel/NAME/alarm;\n"
           "the mail password in the --notify-secrets file (lines USER@HOST PASSWORD).\n"
           "alarms: alarm events beside the events the module logged itself (from its collected memory), in\n"
           "time order.\n"
           "--db postgresql://USER@HOST/DB: a PostgreSQL server instead of a file (the password from ~/.pgpass\n"
           "or PGPASSWORD, never on the command line): the same tables, each round in one transaction, each\n"
           "poll keyed by (module, slot) so that a write repeated doubles nothing. While the server does not\n"
           "answer, rounds wait in kavrel-fleet-pg-rounds.spool in the working folder (the MQTT and influx\n"
           "spools too; the job tables on the server as well). serve processes with the same FLEET.txt and database\n"
           "share the modules: each renews its lease (--lease, default 30s; 0: not shared), a module belongs\n"
           "to one live service; the modules of a service that died are taken over after the lease. A\n"
           "service without its lease (database unreachable) polls nothing. --member: the service's name\n"
           "(default HOST:PID); status --json names each module's \"owner\". A build without libpq\n"
           "(Windows) refuses a postgresql:// address with a reason.\n"};
    // The roll-out's own part follows (cmd_fleet_config.cpp).
    static const std::string pl = std::string(text.pl) + fleetConfigUsage().pl;
    static const std::string en = std::string(text.en) + fleetConfigUsage().en;
    static const HelpText whole{pl.c_str(), en.c_str()};
    return whole;
}

int runFleet(CliContext& context, std::span<const std::string> args) {
    if (!args.empty() && args[0] == "poll") return runFleetPoll(context, args.subspan(1));
    if (!args.empty() && args[0] == "status") return runFleetStatus(context, args.subspan(1));
    if (!args.empty() && args[0] == "serve") return runFleetServe(context, args.subspan(1));
    if (!args.empty() && args[0] == "config") return runFleetConfig(context, args.subspan(1));
    if (!args.empty() && args[0] == "alarms") return runFleetAlarms(context, args.subspan(1));
    context.err << "kavrel fleet: oczekiwano poll, serve, status, config albo alarms\n" << helpText(fleetUsage());
    return kExitUsage;
}

} // namespace kavrel::cli
