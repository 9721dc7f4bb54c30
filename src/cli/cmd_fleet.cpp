// kavrel fleet: many modules polled at once over TCP into a SQLite database and, when asked,
// an MQTT broker; and the operator's view of that database.
#include <array>
#include <atomic>
#include <charconv>
#include <csignal>
#include <sys/resource.h>
#include <filesystem>
#include <memory>
#include <ostream>

#include "cli/commands.h"
#include "cli/file_overlap.h"
#include "fleet/fleet_poller.h"
#include "fleet/fleet_schema.h"
#include "fleet/fleet_status.h"
#include "fleet/metrics/metrics_server.h"
#include "fleet/metrics/poll_metrics.h"
#include "fleet/fleet_store.h"
#include "fleet/mqtt_publisher.h"

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
            arg != "--interval" && arg != "--duration" && arg != "--metrics" &&
            arg != "--keep-raw" && arg != "--thin-interval")
            return "nieoczekiwany argument " + arg;
        if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " wymaga wartości";
        const std::string& value = args[++i];
        if (arg == "--hosts") options.hosts = value;
        else if (arg == "--db") options.database = value;
        else if (arg == "--mqtt") options.broker = value;
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
    std::array<long long, 5> counts_{};   // by Outcome
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

int runFleetPoll(CliContext& context, std::span<const std::string> args) {
    FleetPollOptions options;
    if (const std::string error = parsePollOptions(args, options); !error.empty()) {
        context.err << "kavrel fleet poll: " << error << "\n";
        return kExitUsage;
    }
    MqttOptions mqtt;
    if (!options.broker.empty() && !parseBrokerAddress(options.broker, mqtt)) {
        context.err << "kavrel fleet poll: --mqtt oczekuje HOST[:PORT] z portem 1..65535\n";
        return kExitUsage;
    }
    // The trace is written anew: it must name neither the fleet file nor the database.
    if (!outputsSpareInputs(context, {options.hosts, options.database})) return kExitFailure;
    std::shared_ptr<link::WireTrace> trace;
    if (!context.openTrace(trace)) return kExitFailure;
    std::string metricsAddress;
    std::uint16_t metricsPort = 0;
    if (!options.metrics.empty() && !metrics::parseListenAddress(options.metrics, metricsAddress, metricsPort)) {
        context.err << "kavrel fleet poll: --metrics oczekuje ADRES:PORT (adres IP, np. 127.0.0.1:9464 albo [::1]:9464)\n";
        return kExitUsage;
    }
    const FleetList fleet = loadFleetList(options.hosts);
    if (!fleet.error.empty()) {
        context.err << "kavrel fleet poll: " << fleet.error << "\n";
        return kExitFailure;
    }
    StoreLimits limits;
    limits.retention.keepRawMs = static_cast<long long>(options.keepRawDays * 86'400'000.0);
    limits.retention.intervalMs = static_cast<long long>(options.thinIntervalSeconds * 1000);
    FleetStore store(options.database, fleet.modules, limits);
    if (!store.error().empty()) {
        context.err << "kavrel fleet poll: " << store.error() << "\n";
        return kExitFailure;
    }
    raiseOpenFileLimit(fleet.modules.size(), context.err);
    RoundReport report(context.out, context.err, options.quiet);
    SinkFan sinks;
    sinks.add(store);
    sinks.add(report);
    std::unique_ptr<MqttPublisher> publisher;
    if (!options.broker.empty()) {
        mqtt.spoolFile = options.spool.empty() ? options.database + "-mqtt.spool" : options.spool;
        mqtt.spoolLimitBytes = options.spoolLimitMb << 20;
        publisher = std::make_unique<MqttPublisher>(mqtt, fleet.modules);
        sinks.add(*publisher);
    }

    metrics::MetricsRegistry registry;
    metrics::PollMetrics pollMetrics(registry, fleet.modules);
    std::unique_ptr<metrics::MetricsServer> metricsServer;
    if (!options.metrics.empty()) {
        metricsServer = std::make_unique<metrics::MetricsServer>(metricsAddress, metricsPort, registry);
        if (!metricsServer->error().empty()) {
            context.err << "kavrel fleet poll: --metrics: " << metricsServer->error() << "\n";
            return kExitFailure;
        }
        addSinkFigures(pollMetrics, store, publisher.get());
        sinks.add(pollMetrics);
        context.err << "kavrel fleet poll: wskaźniki pod http://" << options.metrics.substr(0, options.metrics.rfind(':'))
                    << ":" << metricsServer->port() << "/metrics\n";
    }

    // From here on nothing returns before the sinks have finished: the store reads the
    // publisher's count until then.
    if (publisher)
        store.setFigures([p = publisher.get()] {
            return std::vector<std::pair<std::string, long long>>{{kMqttDroppedFigure, p->droppedFromSpool()}};
        });

    FleetTiming timing;
    timing.interval = std::chrono::milliseconds(static_cast<long long>(options.intervalSeconds * 1000));
    FleetPoller poller(fleet.modules, timing, sinks);
    if (trace) poller.setTrace(trace);
    StopRequest stop;
    activeStop = &stop;
    const auto previousInt = std::signal(SIGINT, onInterrupt);
    const auto previousTerm = std::signal(SIGTERM, onInterrupt);
    const FleetRunStats stats =
        poller.run(std::chrono::milliseconds(static_cast<long long>(options.durationSeconds * 1000)), stop);
    // The publisher first: its last count of dropped messages goes into the database.
    if (publisher) publisher->finish();
    sinks.finish();
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    activeStop = nullptr;
    return closingReport(context, fleet.modules.size(), stats, store.tally(), options.database);
}

int runFleetStatus(CliContext& context, std::span<const std::string> args) {
    if (args.size() != 1) {
        context.err << "kavrel fleet status: oczekiwano bazy FLOTA.db\n";
        return kExitUsage;
    }
    const FleetStatus status = readFleetStatus(args[0]);
    if (!status.error.empty()) {
        context.err << "kavrel fleet status: " << status.error << "\n";
        return kExitFailure;
    }
    context.out << formatFleetStatus(status.modules) << formatPollerFigures(status);
    return kExitOk;
}

} // namespace

const HelpText& fleetUsage() {
    static const HelpText text{
        "użycie: kavrel fleet poll --hosts FLOTA.txt [--db FLOTA.db] [--mqtt HOST[:PORT]] [--interval S]\n"
        "                          [--duration S] [--spool PLIK] [--spool-limit MB] [--metrics ADRES:PORT]\n"
        "                          [--keep-raw DNI [--thin-interval S]] [--quiet]\n"
        "        kavrel fleet status FLOTA.db\n"
        "poll: odpytuje każdy moduł z FLOTA.txt co S sekund (domyślnie 5) tak jak Kavrel-Monitor (DEBUG=0\n"
        "i VER? raz na połączenie, MSR? i MSRX? w każdym odczycie), każdy przez własne połączenie TCP,\n"
        "wszystkie naraz: moduł milczący, wolny albo odmawiający nie opóźnia innych. Odczyt, który trwa\n"
        "jeszcze w chwili następnego, sprawia, że następny jest pomijany. FLOTA.txt: jeden moduł\n"
        "w wierszu, NAZWA HOST[:PORT] [USTAWIENIA.CFG] (domyślnie port 23; plik ustawień monitora,\n"
        "względem FLOTA.txt, nazywa linie); wiersze zaczynające się od # są pomijane. Każdy odczyt\n"
        "staje się wierszem bazy SQLite (domyślnie kavrel-fleet.db); z --mqtt komunikatem JSON\n"
        "w kavrel/NAZWA/pomiar, a stan modułu w kavrel/NAZWA/stan. Komunikaty, których broker nie\n"
        "przyjął, czekają w pliku kolejki (domyślnie FLOTA.db-mqtt.spool, najwyżej 64 MB; ponad\n"
        "--spool-limit najstarsze są porzucane). Działa, aż minie --duration albo do Ctrl-C (drugie\n"
        "Ctrl-C porzuca trwające odczyty). Odczyty, których baza nie przyjmuje (zablokowana przez inny\n"
        "program, pełny dysk), czekają w pliku FLOTA.db-rounds.spool i trafiają do bazy w kolejności,\n"
        "najpóźniej przy następnym uruchomieniu. Odczyt niezapisany w bazie albo niewykonany z powodu\n"
        "błędu tego komputera („błąd lokalny”, np. za mały limit otwartych plików) kończy polecenie\n"
        "kodem 1. Z --metrics pod http://ADRES:PORT/metrics wskaźniki dla Prometheusa: odczyty linii\n"
        "(z nazwą i jednostką), stany modułów, odczyty według wyniku, opóźnienia, kolejki i błędy zapisu.\n"
        "Z --keep-raw baza trzyma wszystkie odczyty przez DNI dni, starsze przerzedza do jednego wiersza\n"
        "na moduł i --thin-interval sekund (domyślnie 900; pierwszy udany odczyt w tym czasie).\n"
        "status: stan każdego modułu (OK, brak odpowiedzi, odmowa, pominięty, błąd lokalny), jego\n"
        "ostatni udany odczyt i liczby odczytów, błędów i pominiętych odczytów.\n",
        "usage: kavrel fleet poll --hosts FLEET.txt [--db FLEET.db] [--mqtt HOST[:PORT]] [--interval S]\n"
           "                         [--duration S] [--spool FILE] [--spool-limit MB] [--metrics ADDRESS:PORT]\n"
           "                         [--keep-raw DAYS [--thin-interval S]] [--quiet]\n"
           "       kavrel fleet status FLEET.db\n"
           "poll: polls every module of FLEET.txt every S seconds (default 5) as Kavrel-Monitor does (DEBUG=0\n"
           "and VER? once per connection, MSR? and MSRX? per poll), each over its own TCP connection, all at\n"
           "once: a silent, slow or refusing module delays no other. A poll still running when the next one\n"
           "is due makes that one skipped. FLEET.txt: one module a line, NAME HOST[:PORT] [SETTINGS.CFG]\n"
           "(port 23 by default; the monitor settings file, relative to FLEET.txt, names the lines); lines\n"
           "starting with # are skipped. Every poll becomes a row of the SQLite database (default\n"
           "kavrel-fleet.db); with --mqtt a JSON message on kavrel/NAME/pomiar and the module's state on\n"
           "kavrel/NAME/stan. Messages the broker has not taken wait in the spool file (default\n"
           "FLEET.db-mqtt.spool, at most 64 MB, the oldest dropped beyond --spool-limit). Runs until\n"
           "--duration has passed or Ctrl-C (a second Ctrl-C abandons polls under way). Polls the database\n"
           "does not take (locked by another program, a full disk) wait in FLEET.db-rounds.spool and reach\n"
           "the database in order, at the latest at the next run. A poll not stored, or not made for an\n"
           "error of this computer (\"błąd lokalny\", e.g. too low a limit of open files), ends the command\n"
           "with exit status 1. With --metrics, http://ADDRESS:PORT/metrics serves figures for Prometheus: line\n"
           "readings (with name and unit), module states, polls by outcome, lateness, spools and write errors.\n"
           "With --keep-raw the database keeps every poll for DAYS days and thins older ones to one row per\n"
           "module and --thin-interval seconds (default 900; the first answered poll in that time).\n"
           "status: each module's state (OK, brak odpowiedzi, odmowa, pominięty, błąd lokalny), its last\n"
           "good poll and its counts of polls, failures and skipped polls.\n"};
    return text;
}

int runFleet(CliContext& context, std::span<const std::string> args) {
    if (!args.empty() && args[0] == "poll") return runFleetPoll(context, args.subspan(1));
    if (!args.empty() && args[0] == "status") return runFleetStatus(context, args.subspan(1));
    context.err << "kavrel fleet: oczekiwano poll albo status\n" << helpText(fleetUsage());
    return kExitUsage;
}

} // namespace kavrel::cli
