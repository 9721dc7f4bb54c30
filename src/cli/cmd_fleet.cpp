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
#include "cli/fleet_poll_options.h"
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
