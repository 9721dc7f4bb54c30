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

#include "cli/commands.h"
#include "common/file_names.h"
#include "fleet/fleet_poller.h"
#include "fleet/fleet_service.h"
#include "fleet/job_store.h"
#include "fleet/link_jobs.h"
#include "fleet/fleet_status.h"
#include "fleet/fleet_store.h"
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
    std::string influx;               // http://HOST:PORT/DB; its spool is DATABASE-influx.spool
    std::string discovery;            // --mqtt-discovery: "homeassistant" or none
    std::uint64_t spoolLimitMb = MessageSpool::kDefaultLimitBytes >> 20;
    double intervalSeconds = 5;
    double durationSeconds = 0;
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
            arg != "--interval" && arg != "--duration" && arg != "--influx" && arg != "--mqtt-discovery")
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
    InfluxOptions influx;
    if (std::string error; !options.influx.empty() && !parseInfluxAddress(options.influx, influx, error)) {
        context.err << "kavrel fleet poll: " << error << "\n";
        return kExitUsage;
    }
    const FleetList fleet = loadFleetList(options.hosts);
    if (!fleet.error.empty()) {
        context.err << "kavrel fleet poll: " << fleet.error << "\n";
        return kExitFailure;
    }
    FleetStore store(options.database, fleet.modules);
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
        mqtt.homeAssistantDiscovery = options.discovery == "homeassistant";
        publisher = std::make_unique<MqttPublisher>(mqtt, fleet.modules);
        sinks.add(*publisher);
    }
    std::unique_ptr<InfluxSink> timeSeries;
    if (!options.influx.empty()) {
        influx.spoolFile = options.database + "-influx.spool";
        influx.spoolLimitBytes = options.spoolLimitMb << 20;
        timeSeries = std::make_unique<InfluxSink>(influx, fleet.modules);
        sinks.add(*timeSeries);
    }

    FleetTiming timing;
    timing.interval = std::chrono::milliseconds(static_cast<long long>(options.intervalSeconds * 1000));
    FleetPoller poller(fleet.modules, timing, sinks);
    StopRequest stop;
    activeStop = &stop;
    const auto previousInt = std::signal(SIGINT, onInterrupt);
    const auto previousTerm = std::signal(SIGTERM, onInterrupt);
    const FleetRunStats stats =
        poller.run(std::chrono::milliseconds(static_cast<long long>(options.durationSeconds * 1000)), stop);
    sinks.finish();
    std::signal(SIGINT, previousInt);
    std::signal(SIGTERM, previousTerm);
    activeStop = nullptr;
    context.err << "kavrel fleet poll: " << fleet.modules.size() << " modułów, odczyty " << stats.polls << ", z odpowiedzią "
                << stats.answered << ", pominięte " << stats.skipped << "; baza " << options.database << "\n";
    if (stats.localErrors > 0)
        context.err << "kavrel fleet poll: odczyty, których nie dało się wykonać z powodu błędu na tym komputerze: "
                    << stats.localErrors << " (" << localErrorText(stats.firstLocalError) << ")\n";
    // Polls the database did not take are never passed over in silence.
    const StoreTally tally = store.tally();
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
};

std::string parseServeOptions(std::span<const std::string> args, FleetServeOptions& options) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg != "--archives" && arg != "--backups" && arg != "--collect-every" && arg != "--backup-every" &&
            arg != "--jobs") {
            rest.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size() || args[i + 1].empty()) return arg + " wymaga wartości";
        const std::string& value = args[++i];
        if (arg == "--archives") options.archives = value;
        else if (arg == "--backups") options.backups = value;
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
    return parsePollOptions(rest, options.poll);
}

// Job results on stdout as they come (unless --quiet), then into the database.
class JobReportLines final : public JobSink {
public:
    JobReportLines(JobSink& next, std::ostream& out, bool quiet) : next_(next), out_(out), quiet_(quiet) {}
    void jobDone(const JobReport& r) override {
        next_.jobDone(r);
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
    std::mutex mutex_;
};

int runFleetServe(CliContext& context, std::span<const std::string> args) {
    FleetServeOptions options;
    if (const std::string error = parseServeOptions(args, options); !error.empty()) {
        context.err << "kavrel fleet serve: " << error << "\n";
        return kExitUsage;
    }
    MqttOptions mqtt;
    if (!options.poll.broker.empty() && !parseBrokerAddress(options.poll.broker, mqtt)) {
        context.err << "kavrel fleet serve: --mqtt oczekuje HOST[:PORT] z portem 1..65535\n";
        return kExitUsage;
    }
    const FleetList fleet = loadFleetList(options.poll.hosts);
    if (!fleet.error.empty()) {
        context.err << "kavrel fleet serve: " << fleet.error << "\n";
        return kExitFailure;
    }
    ModuleRegistry registry(std::max<std::size_t>(fleet.modules.size() * 2, fleet.modules.size() + 1024));
    for (const FleetModule& module : fleet.modules) registry.add(module);
    FleetStore store(options.poll.database, registry.modules());
    if (!store.error().empty()) {
        context.err << "kavrel fleet serve: " << store.error() << "\n";
        return kExitFailure;
    }
    JobStore jobStore(options.poll.database);
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
    std::unique_ptr<MqttPublisher> publisher;
    if (!options.poll.broker.empty()) {
        mqtt.spoolFile = options.poll.spool.empty() ? options.poll.database + "-mqtt.spool" : options.poll.spool;
        mqtt.spoolLimitBytes = options.poll.spoolLimitMb << 20;
        publisher = std::make_unique<MqttPublisher>(mqtt, registry.modules());
        sinks.add(*publisher);
    }
    JobReportLines jobLines(jobStore, context.out, options.poll.quiet);
    LinkJobRunner runner;
    ServiceFigures figures;
    ServicePlan plan;
    plan.interval = std::chrono::milliseconds(static_cast<long long>(options.poll.intervalSeconds * 1000));
    plan.jobs = options.jobs;
    if (!options.archives.empty()) {
        plan.every[static_cast<std::size_t>(JobKind::Collect)] = options.collectEvery;
        plan.folders[static_cast<std::size_t>(JobKind::Collect)] = pathFromUtf8(options.archives);
    }
    if (!options.backups.empty()) {
        plan.every[static_cast<std::size_t>(JobKind::Backup)] = options.backupEvery;
        plan.folders[static_cast<std::size_t>(JobKind::Backup)] = pathFromUtf8(options.backups);
    }
    ServiceRunStats stats;
    {
        FleetService service(registry, plan, sinks, runner, jobLines, figures);
        ServiceControl control;
        activeService = &control;
        struct sigaction action {};
        action.sa_handler = onServiceSignal;
        sigemptyset(&action.sa_mask);
        struct sigaction previousInt {}, previousTerm {}, previousHup {};
        sigaction(SIGINT, &action, &previousInt);
        sigaction(SIGTERM, &action, &previousTerm);
        sigaction(SIGHUP, &action, &previousHup);
        context.err << "kavrel fleet serve: " << fleet.modules.size() << " modułów, odczyty co "
                    << options.poll.intervalSeconds << " s"
                    << (options.archives.empty() ? "" : ", pobieranie pamięci do " + options.archives)
                    << (options.backups.empty() ? "" : ", kopie ustawień w " + options.backups) << std::endl;
        const std::string hosts = options.poll.hosts;
        stats = service.run(
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
    }
    sinks.finish();
    jobLines.finish();
    const auto& jobs = stats.jobs;
    context.err << "kavrel fleet serve: odczyty " << stats.polls << ", z odpowiedzią " << stats.answered
                << ", pominięte " << stats.skipped << ", zajęte " << stats.busy << "; pobrania pamięci: udane "
                << jobs[0][0] << ", nieudane " << jobs[0][1] << ", przerwane " << jobs[0][2] << "; kopie: udane "
                << jobs[1][0] << ", nieudane " << jobs[1][1] << "; baza " << options.poll.database << "\n";
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
    const FleetStatus status = readFleetStatus(args[0]);
    if (!status.error.empty()) {
        context.err << "kavrel fleet status: " << status.error << "\n";
        return kExitFailure;
    }
    context.out << (json ? fleetStatusJson(status.modules) : formatFleetStatus(status.modules));
    return kExitOk;
}

} // namespace

const HelpText& fleetUsage() {
    static const HelpText text{
        "użycie: kavrel fleet poll --hosts FLOTA.txt [--db FLOTA.db] [--mqtt HOST[:PORT]] [--interval S]\n"
        "                          [--duration S] [--spool PLIK] [--spool-limit MB] [--quiet]\n"
        "                          [--influx http://HOST:PORT/BAZA] [--mqtt-discovery homeassistant]\n"
        "        kavrel fleet serve --hosts FLOTA.txt [--db FLOTA.db] [--archives FOLDER] [--backups FOLDER]\n"
        "                           [--interval S] [--collect-every CZAS] [--backup-every CZAS] [--jobs N]\n"
        "                           [--mqtt HOST[:PORT]] [--duration S] [--spool PLIK] [--spool-limit MB] [--quiet]\n"
        "        kavrel fleet status FLOTA.db [--json]\n"
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
        "kodem 1.\n"
        "serve: usługa floty: odczyty jak poll, a do tego co --collect-every (domyślnie 1h) pobranie\n"
        "pamięci każdego modułu do FOLDER/NAZWA.db (jak logger archive update: tylko nowe rekordy, luki\n"
        "zapisane) i co --backup-every (domyślnie 1d) kopia ustawień (jak config read) w FOLDER/NAZWA/,\n"
        "zachowana tylko, gdy różni się od poprzedniej; zmienione pola trafiają do tabeli config_changes.\n"
        "CZAS: 90s, 15m, 6h, 1d. Zadanie należne jest wykonywane także od razu po uruchomieniu. Na łączu\n"
        "modułu naraz tylko jedno zadanie; w czasie pobierania lub kopii odczyty modułu są zapisywane\n"
        "jako „zajęty”. Naraz najwyżej --jobs zadań (domyślnie 4). Nieudane zadanie jest ponawiane po\n"
        "1, 2, 4... min, najdłużej po swoim okresie. SIGHUP wczytuje FLOTA.txt ponownie (błędny plik jest\n"
        "odrzucany z numerem wiersza, flota zostaje bez zmian); SIGTERM kończy pracę po zapisaniu\n"
        "wszystkiego (pobieranie przerwane na granicy paczki).\n"
        "status: stan każdego modułu (OK, brak odpowiedzi, odmowa, pominięty, błąd lokalny, zajęty),\n"
        "jego ostatni udany odczyt i liczby odczytów, błędów i pominiętych odczytów; dla usługi także\n"
        "ostatnie pobranie pamięci (rekordy, luki), ostatnia kopia (zmienione pola), następny termin\n"
        "i ponowienia. --json: to samo jako obiekt JSON.\n",
        "usage: kavrel fleet poll --hosts FLEET.txt [--db FLEET.db] [--mqtt HOST[:PORT]] [--interval S]\n"
           "                         [--duration S] [--spool FILE] [--spool-limit MB] [--quiet]\n"
           "                         [--influx http://HOST:PORT/DB] [--mqtt-discovery homeassistant]\n"
           "       kavrel fleet serve --hosts FLEET.txt [--db FLEET.db] [--archives DIR] [--backups DIR]\n"
           "                          [--interval S] [--collect-every TIME] [--backup-every TIME] [--jobs N]\n"
           "                          [--mqtt HOST[:PORT]] [--duration S] [--spool FILE] [--spool-limit MB] [--quiet]\n"
           "       kavrel fleet status FLEET.db [--json]\n"
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
           "with exit status 1.\n"
           "serve: the fleet service: polls as poll does, and every --collect-every (default 1h) each\n"
           "module's memory collected into DIR/NAME.db (as logger archive update: only new records, holes\n"
           "kept) and every --backup-every (default 1d) its configuration backed up (as config read) in\n"
           "DIR/NAME/, kept only when it differs from the last one; the fields changed go to the\n"
           "config_changes table. TIME: 90s, 15m, 6h, 1d. A job that is due also runs at start. One job at\n"
           "a time on a module's link; while a collection or backup runs, the module's polls are recorded\n"
           "as \"zajęty\" (busy). At most --jobs jobs at once (default 4). A failed job is retried after\n"
           "1, 2, 4 ... min, at most after its own period. SIGHUP reads FLEET.txt again (a bad file is\n"
           "refused with its line number, the fleet kept as it was); SIGTERM ends once everything is\n"
           "committed (a collection cut at a batch boundary).\n"
           "status: each module's state (OK, brak odpowiedzi, odmowa, pominięty, błąd lokalny, zajęty), its\n"
           "last good poll and its counts of polls, failures and skipped polls; for the service also the\n"
           "last collection (records, holes), the last backup (changed fields), the next due times and\n"
           "the retries. --json: the same as a JSON object.\n"};
    return text;
}

int runFleet(CliContext& context, std::span<const std::string> args) {
    if (!args.empty() && args[0] == "poll") return runFleetPoll(context, args.subspan(1));
    if (!args.empty() && args[0] == "status") return runFleetStatus(context, args.subspan(1));
    if (!args.empty() && args[0] == "serve") return runFleetServe(context, args.subspan(1));
    context.err << "kavrel fleet: oczekiwano poll, serve albo status\n" << helpText(fleetUsage());
    return kExitUsage;
}

} // namespace kavrel::cli
