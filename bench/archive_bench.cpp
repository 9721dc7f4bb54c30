// The logger's archive against the simulator: what an update costs when only a little is
// new, and what cut links cost.
//
//   incremental   20,000 records archived (over TCP), then 100 more logged: the update of a
//                 memory that has not wrapped and of one that wraps, over loopback TCP and a
//                 pseudo-terminal paced at 115200 baud: requests, records requested, seconds
//   cuts          2,000 records with the link cut at every 10th batch (TCP reset, the
//                 pseudo-terminal gone): updates needed, requests, seconds, against one uncut
//                 download of the same memory
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "logger/archive/archive.h"
#include "logger/archive/archive_update.h"
#include "logger/protocol/session.h"
#include "quiet_observer.h"
#include "support/sim_fixture.h"

namespace {

using namespace kavrel;
using kavrel::bench::QuietObserver;
using namespace kavrel::logger;
using Clock = std::chrono::steady_clock;

struct Requests {
    int batches = 0, singles = 0, records = 0;
};

Requests countRequests(const std::vector<std::string>& log, std::size_t from) {
    Requests r;
    for (std::size_t i = from; i < log.size(); ++i) {
        int first = 0, count = 0;
        if (std::sscanf(log[i].c_str(), "*RD_%d,%d", &first, &count) != 2 || count == 0) continue;
        (count == 1 ? r.singles : r.batches) += 1;
        r.records += count;
    }
    return r;
}

// A link and a session to the simulator, over TCP or its paced pseudo-terminal.
struct Connection {
    Connection(testing::SimFixture& sim, bool tcp) {
        session.clock = &systemClock();
        if (tcp) {
            sim.useTcp(link);
        } else {
            sim.useSerial(link);
        }
    }
    link::ModuleLink link{link::LinkVariant::logger()};
    QuietObserver observer;
    LoggerSession session{link, observer};
};

archive::UpdateResult update(testing::SimFixture& sim, bool tcp, archive::Archive& store) {
    Connection c(sim, tcp);
    archive::UpdateResult result;
    // A terminal that was cut comes back a moment later, as an adapter plugged in again.
    for (int tries = 0; connectSession(c.session) != StatusResult::Ok; ++tries) {
        if (tries == 200) return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result = archive::updateArchive(c.session, store, "bench", systemClock());
    disconnectSession(c.session);
    return result;
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::filesystem::path freshFile(const char* name) {
    const auto path = std::filesystem::temp_directory_path() / (std::string("kavrel-archive-bench-") +
                                                                std::to_string(::getpid()) + "-" + name + ".db");
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
    return path;
}

void incremental(bool cyclic, bool tcp) {
    sim::SimOptions options;
    options.memory.records = 20000;
    options.memory.cyclic = cyclic;
    options.baud = 9600;   // paces the pseudo-terminal (115200 after the logger's switch)
    options.memory.requestLog = std::make_shared<std::vector<std::string>>();
    options.memory.pendingRecords = std::make_shared<std::atomic<int>>(0);
    testing::SimFixture sim(options);
    archive::Archive store;
    const auto file = freshFile("incremental");
    if (!store.open(file)) return;
    if (!update(sim, true, store).complete()) {
        std::printf("  first update failed\n");
        return;
    }
    *options.memory.pendingRecords = 100;
    const std::size_t before = options.memory.requestLog->size();
    const auto start = Clock::now();
    const archive::UpdateResult second = update(sim, tcp, store);
    const double seconds = secondsSince(start);
    const Requests r = countRequests(*options.memory.requestLog, before);
    std::printf("  %-8s %-4s fetched %4lld  batches %3d  search requests %2d  records requested %4d  %6.3f s%s\n",
                cyclic ? "wrapped" : "growing", tcp ? "tcp" : "pty", second.fetched, r.batches, r.singles, r.records, seconds,
                second.complete() ? "" : "  (failed)");
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(file.string() + suffix);
}

void cuts(bool tcp) {
    sim::SimOptions options;
    options.memory.records = 2000;
    options.memory.requestLog = std::make_shared<std::vector<std::string>>();
    testing::SimFixture reference(options);
    archive::Archive uncutStore;
    const auto uncutFile = freshFile("uncut");
    if (!uncutStore.open(uncutFile)) return;
    auto start = Clock::now();
    const bool uncutDone = update(reference, tcp, uncutStore).complete();
    const double uncutSeconds = secondsSince(start);
    const Requests uncut = countRequests(*options.memory.requestLog, 0);

    options.memory.requestLog = std::make_shared<std::vector<std::string>>();
    options.memory.faults.cutEveryBatch = 10;
    testing::SimFixture sim(options);
    const auto link = std::filesystem::temp_directory_path() / ("kavrel-archive-bench-" + std::to_string(::getpid()) + "-tty");
    if (!tcp) sim.linkPty(link.string());
    archive::Archive store;
    const auto file = freshFile("cuts");
    if (!store.open(file)) return;
    start = Clock::now();
    int runs = 0;
    bool done = false;
    while (!done && runs < 1000) {
        ++runs;
        done = update(sim, tcp, store).complete();
    }
    const double seconds = secondsSince(start);
    const Requests r = countRequests(*options.memory.requestLog, 0);
    std::printf("  %-4s uncut: %d batches %.3f s%s | cut every 10th batch: %d updates, %d batches, %d search requests, "
                "%.3f s%s\n",
                tcp ? "tcp" : "pty", uncut.batches, uncutSeconds, uncutDone ? "" : " (failed)", runs, r.batches, r.singles,
                seconds, done ? "" : " (failed)");
    for (const auto& f : {file, uncutFile})
        for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(f.string() + suffix);
    std::filesystem::remove(link);
}

} // namespace

int main() {
    std::printf("incremental: 100 new records after 20,000\n");
    for (const bool cyclic : {false, true})
        for (const bool tcp : {true, false}) incremental(cyclic, tcp);
    std::printf("cuts: 2,000 records\n");
    for (const bool tcp : {true, false}) cuts(tcp);
    return 0;
}
