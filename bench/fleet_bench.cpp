// The fleet poller over many simulated modules, some of them faulty, for as long as asked:
//   fleet_bench [SECONDS (default 120)] [--modules N (200, up to 10,000)] [--no-mqtt] [--db postgresql://...]
//               [--serve [--collect-every S (60)] [--backup-every S (120)] [--jobs N (4)]] [--alarms]
// --alarms adds the fleet alarms (no answer, a reading, GSM; notifications to a program that
// reads them) as one more sink, for the poll timing with and without them.
// --serve runs the fleet service instead of the poller: the healthy modules' memories fill
// (a day a minute) and each is collected and backed up on its schedule while the polls run.
// The simulators' CPU is reported beside the poller's (each kavrel-sim serves at most 1,000
// modules, so a large fleet has several).
// The healthy modules are served by one kavrel-sim process, the silent ones and those
// answering after 2 s by two more, and the refusing ones are ports nobody listens on; by
// default a fifth of a tenth each (200: 180 healthy, 10 silent, 5 late, 5 refusing). The
// poller runs in this process with its database and, when mosquitto is installed, a broker
// of its own and the MQTT publisher, so the CPU and memory figures are the poller's own.
// Reports: the healthy modules' polls started within 0.5 s of their schedule (share,
// 99th percentile, worst), healthy polls missed (skipped or unanswered), CPU as a share of
// the machine's cores, resident memory every 30 s, the machine's load.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <mutex>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fleet/alarms/alarm_service.h"
#include "fleet/fleet_list.h"
#include "fleet/fleet_poller.h"
#include "fleet/fleet_store.h"
#include "fleet/mqtt_publisher.h"
#include "fleet/fleet_service.h"
#include "fleet/job_store.h"
#include "fleet/link_jobs.h"
#include "fleet/service_figures.h"
#include "fleet/fleet_database.h"
#include "support/child_process.h"

using namespace kavrel::fleet;
using namespace std::chrono_literals;

namespace {

constexpr int kModulesPerSim = 1000;   // kavrel-sim's own limit (a thread per module)

// Starts kavrel-sim processes with `count` modules in all and waits for their fleet files.
std::vector<FleetModule> startSims(const std::string& name, int count, std::vector<std::string> faults,
                                   const std::filesystem::path& folder, std::vector<pid_t>& pids,
                                   std::vector<pid_t>* simPids = nullptr) {
    std::vector<FleetModule> modules;
    for (int part = 0; count > 0; ++part) {
        const int here = std::min(count, kModulesPerSim);
        count -= here;
        const std::string tag = name + (part ? "." + std::to_string(part) : "");
        const auto file = folder / (tag + ".txt");
        std::vector<std::string> args = {KAVREL_SIM, "--tcp", "127.0.0.1:0", "--modules", std::to_string(here),
                                         "--fleet-file", file.string()};
        args.insert(args.end(), faults.begin(), faults.end());
        pids.push_back(kavrel::testing::startProcess(args, folder / (tag + ".out")));
        if (simPids) simPids->push_back(pids.back());
        for (int i = 0; i < 400 && !std::filesystem::exists(file); ++i) std::this_thread::sleep_for(50ms);
        std::this_thread::sleep_for(100ms);
        FleetList list = loadFleetList(file);
        if (!list.error.empty()) {
            std::cerr << "fleet_bench: " << list.error << "\n";
            std::exit(1);
        }
        for (auto& m : list.modules) m.name = tag + "-" + m.name;
        modules.insert(modules.end(), list.modules.begin(), list.modules.end());
    }
    return modules;
}

// CPU seconds (user and system) a process has used so far, from /proc.
double processCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double user = 0, system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) user = std::atof(field.c_str());
        if (i == 15) system = std::atof(field.c_str());
    }
    return (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double processesCpuSeconds(const std::vector<pid_t>& pids) {
    double total = 0;
    for (const pid_t pid : pids) total += processCpuSeconds(pid);
    return total;
}

// Job outcomes of the service, counted on the workers' threads.
class JobTally final : public JobSink {
public:
    explicit JobTally(JobSink& next) : next_(next) {}
    void jobDone(const JobReport& r) override {
        next_.jobDone(r);
        std::lock_guard lock(mutex_);
        ++done[static_cast<std::size_t>(r.kind)][static_cast<std::size_t>(r.outcome)];
        records += r.records;
        seconds[static_cast<std::size_t>(r.kind)] += std::chrono::duration<double>(r.ended - r.started).count();
    }
    void scheduled(const JobSchedule& s) override { next_.scheduled(s); }
    std::optional<WallTime> lastSuccess(const std::string& m, JobKind k) const override { return next_.lastSuccess(m, k); }
    void finish() override { next_.finish(); }
    std::mutex mutex_;
    std::array<std::array<long long, kJobOutcomes>, kJobKinds> done{};
    std::array<double, kJobKinds> seconds{};
    long long records = 0;

private:
    JobSink& next_;
};

// Counts what the benchmark reports; keeps no records, so that its own memory stays flat.
class Tally final : public PollSink {
public:
    explicit Tally(std::size_t healthy) : healthy_(healthy) {}
    void record(const PollRecord& r) override {
        std::lock_guard lock(mutex_);
        if (r.module >= healthy_) {
            ++faultyByOutcome[static_cast<int>(r.outcome)];
            return;
        }
        ++healthyTicks;
        if (r.outcome == Outcome::Busy) {   // its collection or backup held the link
            ++healthyBusy;
            return;
        }
        if (r.outcome != Outcome::Ok) {
            ++healthyMissed;
            return;
        }
        const double late = r.lateSeconds;
        if (late <= 0.5) ++onTime;
        worst = std::max(worst, late);
        ++lateness[std::min<std::size_t>(lateness.size() - 1, static_cast<std::size_t>(late * 1000))];
    }
    void endRound() override {}
    void finish() override {}

    double percentileSeconds(double share) const {
        long long total = 0;
        for (auto n : lateness) total += n;
        long long seen = 0;
        for (std::size_t ms = 0; ms < lateness.size(); ++ms)
            if ((seen += lateness[ms]) >= static_cast<long long>(share * static_cast<double>(total))) return static_cast<double>(ms) / 1000;
        return worst;
    }

    std::mutex mutex_;
    long long healthyTicks = 0, healthyMissed = 0, onTime = 0, healthyBusy = 0;
    std::array<long long, kOutcomeCount> faultyByOutcome{};   // by Outcome
    std::array<long long, 5001> lateness{};   // by whole milliseconds, the last one for 5 s and more
    double worst = 0;

private:
    std::size_t healthy_;
};

long residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string load() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 120, total = 200, collectEvery = 60, backupEvery = 120, jobs = 4;
    bool mqtt = std::filesystem::exists("/usr/sbin/mosquitto");
    bool serve = false, alarmsOn = false;
    std::string database;   // empty: a SQLite file in the bench's folder
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--modules" && i + 1 < argc) total = std::clamp(std::atoi(argv[++i]), 20, 20000);
        else if (arg == "--no-mqtt") mqtt = false;
        else if (arg == "--db" && i + 1 < argc) database = argv[++i];
        else if (arg == "--serve") serve = true;
        else if (arg == "--alarms") alarmsOn = true;
        else if (arg == "--collect-every" && i + 1 < argc) collectEvery = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--backup-every" && i + 1 < argc) backupEvery = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--jobs" && i + 1 < argc) jobs = std::max(1, std::atoi(argv[++i]));
        else if (std::atoi(arg.c_str()) > 0) seconds = std::atoi(arg.c_str());
        else {
            std::cerr << "usage: fleet_bench [SECONDS] [--modules N] [--no-mqtt] [--db postgresql://...] [--serve [--collect-every S] "
                         "[--backup-every S] [--jobs N]] [--alarms]\n";
            return 2;
        }
    }
    ::signal(SIGPIPE, SIG_IGN);
    // Every module a socket here and two descriptors in its simulator: the soft limit goes up
    // to the hard one (the simulators inherit it).
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    const int silent = total / 20, late = total / 40, refusing = total / 40, healthy = total - silent - late - refusing;
    const auto folder = std::filesystem::temp_directory_path() / ("kavrel-fleet-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    std::vector<pid_t> pids, simPids;
    std::vector<std::string> healthyOptions;
    if (serve) healthyOptions = {"--records", "3000", "--cyclic", "--clock-speed", "1440"};
    std::vector<FleetModule> modules = startSims("ok", healthy, healthyOptions, folder, pids, &simPids);
    for (auto& group : {startSims("silent", silent, {"--silent"}, folder, pids, &simPids),
                        startSims("late", late, {"--reply-delay", "2000"}, folder, pids, &simPids)})
        modules.insert(modules.end(), group.begin(), group.end());
    for (int i = 0; i < refusing; ++i) {
        FleetModule m;
        m.name = "refusing-" + std::to_string(i + 1);
        m.host = "127.0.0.1";
        m.port = kavrel::testing::closedPort();
        m.address = htonl(INADDR_LOOPBACK);
        modules.push_back(m);
    }
    MqttOptions mqttOptions;
    if (mqtt) {
        mqttOptions.port = kavrel::testing::closedPort();
        std::ofstream(folder / "mosquitto.conf") << "listener " << mqttOptions.port << " 127.0.0.1\nallow_anonymous true\n";
        pids.push_back(kavrel::testing::startProcess({"/usr/sbin/mosquitto", "-c", (folder / "mosquitto.conf").string()}, folder / "broker.log"));
        mqttOptions.spoolFile = folder / "spool";
        std::this_thread::sleep_for(300ms);
    }

    std::cout << "fleet_bench: " << modules.size() << " modules (" << healthy << " healthy, " << silent << " silent, " << late
              << " answering after 2 s, " << refusing << " refusing), " << seconds << " s, 5 s interval, database"
              << (mqtt ? " and MQTT" : "");
    if (serve)
        std::cout << "; the fleet service: collections every " << collectEvery << " s, backups every " << backupEvery
                  << " s, " << jobs << " jobs at once";
    std::cout << "; " << simPids.size() << " simulator processes; load " << load() << std::endl;
    Tally tally(static_cast<std::size_t>(healthy));
    {
        const auto ownStore =
            openFleetStore(chooseFleetDatabase(database.empty() ? (folder / "fleet.db").string() : database), modules);
        FleetStore& store = *ownStore;
        if (!store.error().empty()) {
            std::cerr << store.error() << "\n";
            return 1;
        }
        std::unique_ptr<MqttPublisher> publisher;
        SinkFan sinks;
        sinks.add(store);
        sinks.add(tally);
        if (mqtt) {
            publisher = std::make_unique<MqttPublisher>(mqttOptions, modules);
            sinks.add(*publisher);
        }
        std::unique_ptr<alarms::AlarmService> alarmService;
        if (alarmsOn) {
            std::vector<std::unique_ptr<alarms::Sender>> senders;
            std::string error;
            senders.push_back(alarms::makeSender("exec:cat > /dev/null", "", error));
            alarmService = std::make_unique<alarms::AlarmService>(
                alarms::parseRules("cisza no-answer\nL3 L3 > 0.0 recover L3 < -1.0\ngsm gsm < 10\n", "bench"),
                modules, (folder / "fleet.db").string(), std::move(senders), nullptr);
            sinks.add(*alarmService);
        }
        FleetPoller poller(modules, FleetTiming{}, sinks);
        ModuleRegistry registry(modules.size());
        for (const auto& m : modules) registry.add(m);
        JobStore jobStore((folder / "fleet.db").string());
        jobStore.setNames(&registry.modules());
        JobTally jobTally(jobStore);
        LinkJobRunner runner;
        ServiceFigures figures;
        ServicePlan plan;
        plan.every[static_cast<std::size_t>(JobKind::Collect)] = std::chrono::seconds(collectEvery);
        plan.every[static_cast<std::size_t>(JobKind::Backup)] = std::chrono::seconds(backupEvery);
        plan.folders[static_cast<std::size_t>(JobKind::Collect)] = folder / "archiwa";
        plan.folders[static_cast<std::size_t>(JobKind::Backup)] = folder / "kopie";
        plan.jobs = jobs;
        std::unique_ptr<FleetService> service;
        if (serve) service = std::make_unique<FleetService>(registry, plan, sinks, runner, jobTally, figures);
        StopRequest stop;
        const double cpuStart = cpuSeconds();
        const double simCpuStart = processesCpuSeconds(simPids);
        const auto start = std::chrono::steady_clock::now();
        std::atomic<bool> running{true};
        std::thread sampler([&] {
            int next = 30;
            while (running) {
                std::this_thread::sleep_for(1s);
                const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                if (elapsed < next) continue;
                next += 30;
                std::lock_guard lock(tally.mutex_);
                std::printf("  %4.0f s: resident %ld kB, CPU %.1f %% of one core, healthy polls %lld, load %s\n", elapsed,
                            residentKb(), 100 * (cpuSeconds() - cpuStart) / elapsed, tally.healthyTicks, load().c_str());
                std::fflush(stdout);
            }
        });
        const long startKb = residentKb();
        const FleetRunStats stats =
            serve ? service->run(std::chrono::seconds(seconds), stop) : poller.run(std::chrono::seconds(seconds), stop);
        running = false;
        sampler.join();
        service.reset();
        sinks.finish();
        jobTally.finish();
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpuSeconds() - cpuStart;
        const double simCpu = processesCpuSeconds(simPids) - simCpuStart;
        const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
        const long long polled = tally.healthyTicks - tally.healthyBusy;
        std::printf("healthy polls: %lld, on time (within 0.5 s) %.3f %%, 99th percentile late %.3f s, worst %.3f s, "
                    "missed %lld, busy (a job held the link) %lld\n",
                    polled, polled ? 100.0 * static_cast<double>(tally.onTime) / static_cast<double>(polled) : 0.0,
                    tally.percentileSeconds(0.99), tally.worst, tally.healthyMissed, tally.healthyBusy);
        if (serve) {
            std::lock_guard lock(jobTally.mutex_);
            const auto& d = jobTally.done;
            std::printf("jobs: collections ok %lld, failed %lld, cut %lld (%.1f s each on average, %lld records); backups ok "
                        "%lld, failed %lld, cut %lld (%.1f s each)\n",
                        d[0][0], d[0][1], d[0][2], jobTally.seconds[0] / std::max(1LL, d[0][0] + d[0][1] + d[0][2]),
                        jobTally.records, d[1][0], d[1][1], d[1][2],
                        jobTally.seconds[1] / std::max(1LL, d[1][0] + d[1][1] + d[1][2]));
        }
        std::printf("faulty modules: ok %lld, no answer %lld, refused %lld, skipped %lld, local error %lld\n",
                    tally.faultyByOutcome[0], tally.faultyByOutcome[1], tally.faultyByOutcome[2], tally.faultyByOutcome[3],
                    tally.faultyByOutcome[4]);
        std::printf("all: polls %lld, answered %lld, skipped %lld; CPU %.2f s in %.0f s = %.1f %% of %ld cores; resident "
                    "%ld kB at the start, %ld kB at the end; load %s\n",
                    stats.polls, stats.answered, stats.skipped, cpu, elapsed, 100 * cpu / elapsed / static_cast<double>(cores),
                    cores, startKb, residentKb(), load().c_str());
        const long long allPolls = stats.polls + stats.skipped;
        std::printf("CPU per poll: this process %.1f us (its jobs included), the simulators %.1f us (%.2f s = %.1f %% of %ld cores, %zu "
                    "processes)\n",
                    allPolls ? 1e6 * cpu / static_cast<double>(allPolls) : 0.0,
                    allPolls ? 1e6 * simCpu / static_cast<double>(allPolls) : 0.0, simCpu,
                    100 * simCpu / elapsed / static_cast<double>(cores), cores, simPids.size());
        if (publisher) std::printf("MQTT: %zu messages left in the spool\n", publisher->spooled());
    }
    for (pid_t pid : pids) kavrel::testing::endProcess(pid);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
