// The fleet poller over many simulated modules, some of them faulty, for as long as asked:
//   fleet_bench [SECONDS (default 120)] [--modules N (200)] [--no-mqtt]
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
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/fleet_poller.h"
#include "fleet/fleet_store.h"
#include "fleet/mqtt_publisher.h"
#include "fleet/service_figures.h"
#include "support/child_process.h"

using namespace kavrel::fleet;
using namespace std::chrono_literals;

namespace {

// Starts kavrel-sim with `count` modules and waits for its fleet file.
std::vector<FleetModule> startSims(const std::string& name, int count, std::vector<std::string> faults,
                                   const std::filesystem::path& folder, std::vector<pid_t>& pids) {
    if (count == 0) return {};
    const auto file = folder / (name + ".txt");
    std::vector<std::string> args = {KAVREL_SIM, "--tcp", "127.0.0.1:0", "--modules", std::to_string(count), "--fleet-file",
                                     file.string()};
    args.insert(args.end(), faults.begin(), faults.end());
    pids.push_back(kavrel::testing::startProcess(args, folder / (name + ".out")));
    for (int i = 0; i < 100 && !std::filesystem::exists(file); ++i) std::this_thread::sleep_for(50ms);
    std::this_thread::sleep_for(100ms);
    FleetList list = loadFleetList(file);
    if (!list.error.empty()) {
        std::cerr << "fleet_bench: " << list.error << "\n";
        std::exit(1);
    }
    for (auto& m : list.modules) m.name = name + "-" + m.name;
    return list.modules;
}

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
    long long healthyTicks = 0, healthyMissed = 0, onTime = 0;
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
    int seconds = 120, total = 200;
    bool mqtt = std::filesystem::exists("/usr/sbin/mosquitto");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--modules" && i + 1 < argc) total = std::max(20, std::atoi(argv[++i]));
        else if (arg == "--no-mqtt") mqtt = false;
        else if (std::atoi(arg.c_str()) > 0) seconds = std::atoi(arg.c_str());
        else {
            std::cerr << "usage: fleet_bench [SECONDS] [--modules N] [--no-mqtt]\n";
            return 2;
        }
    }
    ::signal(SIGPIPE, SIG_IGN);
    const int silent = total / 20, late = total / 40, refusing = total / 40, healthy = total - silent - late - refusing;
    const auto folder = std::filesystem::temp_directory_path() / ("kavrel-fleet-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::filesystem::permissions(folder, std::filesystem::perms::all);
    std::vector<pid_t> pids;
    std::vector<FleetModule> modules = startSims("ok", healthy, {}, folder, pids);
    for (auto& group : {startSims("silent", silent, {"--silent"}, folder, pids),
                        startSims("late", late, {"--reply-delay", "2000"}, folder, pids)})
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
              << (mqtt ? " and MQTT" : "") << "; load " << load() << std::endl;
    Tally tally(static_cast<std::size_t>(healthy));
    {
        FleetStore store((folder / "fleet.db").string(), modules);
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
        FleetPoller poller(modules, FleetTiming{}, sinks);
        StopRequest stop;
        const double cpuStart = cpuSeconds();
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
        const FleetRunStats stats = poller.run(std::chrono::seconds(seconds), stop);
        running = false;
        sampler.join();
        sinks.finish();
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = cpuSeconds() - cpuStart;
        const long cores = std::max(1L, ::sysconf(_SC_NPROCESSORS_ONLN));
        std::printf("healthy polls: %lld, on time (within 0.5 s) %.3f %%, 99th percentile late %.3f s, worst %.3f s, "
                    "missed %lld\n",
                    tally.healthyTicks, tally.healthyTicks ? 100.0 * static_cast<double>(tally.onTime) / static_cast<double>(tally.healthyTicks) : 0.0,
                    tally.percentileSeconds(0.99), tally.worst, tally.healthyMissed);
        std::printf("faulty modules: ok %lld, no answer %lld, refused %lld, skipped %lld, local error %lld\n",
                    tally.faultyByOutcome[0], tally.faultyByOutcome[1], tally.faultyByOutcome[2], tally.faultyByOutcome[3],
                    tally.faultyByOutcome[4]);
        std::printf("all: polls %lld, answered %lld, skipped %lld; CPU %.2f s in %.0f s = %.1f %% of %ld cores; resident "
                    "%ld kB at the start, %ld kB at the end; load %s\n",
                    stats.polls, stats.answered, stats.skipped, cpu, elapsed, 100 * cpu / elapsed / static_cast<double>(cores),
                    cores, startKb, residentKb(), load().c_str());
        if (publisher) std::printf("MQTT: %zu messages left in the spool\n", publisher->spooled());
    }
    for (pid_t pid : pids) kavrel::testing::endProcess(pid);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
