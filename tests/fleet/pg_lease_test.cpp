// Four fleet services sharing 2,000 simulated modules through leases on a PostgreSQL server
// started by the test: each module polled by one service at a time; one service killed
// outright, its modules polled by the others within the lease and two intervals; the service
// back, taking about a quarter again and nothing from anyone but its own share.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "fleet/fleet_database.h"
#include "fleet/fleet_service.h"
#include "fleet/module_ownership.h"
#include "fleet/postgres/fleet_lease.h"
#include "fleet/postgres/pg_status.h"
#include "pg_server.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

using namespace kavrel::fleet;
using namespace std::chrono_literals;

namespace {

constexpr int kModules = 2000;
constexpr int kModulesPerSim = 1000;
constexpr auto kInterval = 1000ms;
constexpr auto kLease = 2000ms;

class NoJobs final : public JobRunner, public JobSink {
public:
    JobReport run(const JobRequest&, const std::atomic<bool>&) override { return {}; }
    void jobDone(const JobReport&) override {}
    void scheduled(const JobSchedule&) override {}
    std::optional<WallTime> lastSuccess(const std::string&, JobKind) const override { return std::nullopt; }
    void finish() override {}
};

// One `fleet serve` as its process would hold it: the lease, the store, the loop's thread.
class Service {
public:
    Service(const std::string& address, const std::string& member, ModuleRegistry& registry,
            const std::filesystem::path& folder)
        : lease_(address, {.lease = kLease, .renewEvery = 500ms, .member = member}) {
        FleetDatabaseChoice choice = chooseFleetDatabase(address);
        choice.member = member;
        choice.localBase = (folder / member).string();
        store_ = std::make_unique<FleetStore>(openPostgresPolls(address, error_, member), error_,
                                              choice.localBase + "-rounds.spool", registry.modules());
        ServicePlan plan;
        plan.interval = kInterval;
        plan.ownership = &lease_;
        service_ = std::make_unique<FleetService>(registry, plan, *store_, jobs_, jobs_, figures_);
        thread_ = std::thread([this] { service_->run(0ms, control_); });
    }
    ~Service() { stop(); }
    // SIGTERM: leaves the fleet, everything written.
    void stop() {
        if (!thread_.joinable()) return;
        control_.stop = true;
        thread_.join();
        store_->finish();
    }
    // SIGKILL: no word to anyone, the lease left to run out.
    void kill() {
        lease_.abandon();
        control_.abandon = true;
        control_.stop = true;
        thread_.join();
        store_->finish();
    }

private:
    std::string error_;
    postgres::FleetLease lease_;
    NoJobs jobs_;
    ServiceFigures figures_;
    std::unique_ptr<FleetStore> store_;
    std::unique_ptr<FleetService> service_;
    ServiceControl control_;
    std::thread thread_;
};

long long nowMs() { return unixMs(std::chrono::system_clock::now()); }

} // namespace

using Table = kavrel::testing::PgTable;

TEST(FleetLeases, FourServicesShareTheFleetAndTakeOverAKilledOnesModules) {
    auto& server = kavrel::testing::sharedPgServer();
    if (!server.unavailable().empty()) GTEST_SKIP() << server.unavailable();
    const kavrel::testing::TempFolder folder;
    const std::string address = server.freshDatabase("leases");

    // The simulated modules: two simulators of 1,000 modules each.
    std::vector<pid_t> sims;
    std::vector<FleetModule> modules;
    for (int part = 0; part < kModules / kModulesPerSim; ++part) {
        const auto file = folder.path / ("sim" + std::to_string(part) + ".txt");
        sims.push_back(kavrel::testing::startProcess({KAVREL_SIM, "--tcp", "127.0.0.1:0", "--modules",
                                                      std::to_string(kModulesPerSim), "--fleet-file", file.string()},
                                                     folder.path / "sim.out"));
        for (int i = 0; i < 400 && !std::filesystem::exists(file); ++i) std::this_thread::sleep_for(20ms);
        std::this_thread::sleep_for(100ms);
        FleetList list = loadFleetList(file);
        ASSERT_EQ(list.error, "");
        for (auto& m : list.modules) m.name = std::to_string(part) + "-" + m.name;
        modules.insert(modules.end(), list.modules.begin(), list.modules.end());
    }
    ASSERT_EQ(modules.size(), static_cast<std::size_t>(kModules));
    // Each service reads the same fleet file into a registry of its own.
    std::vector<std::unique_ptr<ModuleRegistry>> registries;
    for (int i = 0; i < 5; ++i) {
        registries.push_back(std::make_unique<ModuleRegistry>(modules.size()));
        for (const auto& m : modules) registries.back()->add(m);
    }
    const std::vector<std::string> all = {"S1", "S2", "S3", "S4"};
    std::vector<std::unique_ptr<Service>> services;
    for (std::size_t i = 0; i < all.size(); ++i)
        services.push_back(std::make_unique<Service>(address, all[i], *registries[i], folder.path));

    // The services join one after another: until the last one counts, the first ones hold
    // its modules too. From here on the fleet is settled.
    const long long settledAt = nowMs() + 1200;
    std::this_thread::sleep_for(2500ms);
    const long long killedAt = nowMs();
    services[3]->kill();
    std::this_thread::sleep_for(kLease + 2 * kInterval + 500ms);
    const long long rejoinedAt = nowMs();
    services[3] = std::make_unique<Service>(address, "S4", *registries[4], folder.path);
    std::this_thread::sleep_for(250ms + 2 * kInterval);
    const long long endAt = nowMs();
    for (auto& s : services) s->stop();
    for (pid_t& pid : sims) kavrel::testing::endProcess(pid);

    // Never two services on one module at once: in each module's rows, by time, the service
    // changes at most twice (to another at the kill, back at the rejoin), never to and fro;
    // and no (module, slot) twice.
    EXPECT_EQ(kavrel::testing::pgRows(address, "SELECT count(*) - count(DISTINCT (module, slot)) FROM polls"), (Table{{"0"}}));
    EXPECT_EQ(kavrel::testing::pgRows(address, "SELECT count(*) FROM (SELECT module, count(*) FILTER (WHERE changed) AS changes FROM "
                            "(SELECT module, member IS DISTINCT FROM lag(member) OVER (PARTITION BY module ORDER BY "
                            "started_ms) AND lag(member) OVER (PARTITION BY module ORDER BY started_ms) IS NOT NULL "
                            "AS changed FROM polls WHERE started_ms >= " + std::to_string(settledAt) +
                            ") c GROUP BY module) m WHERE changes > 2"),
              (Table{{"0"}}));
    // Who polled each module last before the kill, first after it, and last of all.
    const auto byModule = [&](const std::string& sql) {
        std::map<std::string, std::string> out;
        for (const auto& r : kavrel::testing::pgRows(address, sql)) out[r[0]] = r[1];
        return out;
    };
    const auto ownerBefore = byModule("SELECT DISTINCT ON (module) module, member FROM polls WHERE started_ms < " +
                                      std::to_string(killedAt) + " AND started_ms >= " + std::to_string(settledAt) +
                                      " ORDER BY module, started_ms DESC");
    const auto takenAt = byModule("SELECT module, min(started_ms) FROM polls WHERE member <> 'S4' AND started_ms > " +
                                  std::to_string(killedAt) + " GROUP BY module");
    const auto ownerAtEnd = byModule("SELECT DISTINCT ON (module) module, member FROM polls ORDER BY module, started_ms DESC");
    ASSERT_EQ(ownerBefore.size(), static_cast<std::size_t>(kModules)) << "every module polled before the kill";
    int killedOnes = 0, lateTakeovers = 0, backToS4 = 0, movedElsewhere = 0;
    long long worstTakeoverMs = 0;
    for (const auto& [module, member] : ownerBefore) {
        EXPECT_EQ(member, rendezvousOwner(module, all)) << module;
        if (member == "S4") {
            ++killedOnes;
            const auto taken = takenAt.find(module);
            const long long after = taken == takenAt.end() ? rejoinedAt - killedAt : std::stoll(taken->second) - killedAt;
            worstTakeoverMs = std::max(worstTakeoverMs, after);
            if (after > (kLease + 2 * kInterval).count()) ++lateTakeovers;
        }
        const std::string last = ownerAtEnd.at(module);
        if (last == "S4") ++backToS4;
        else if (last != member) ++movedElsewhere;
    }
    // `fleet status` names each module's owner: with every service gone, the last to poll it.
    const FleetStatus status = postgres::readPostgresStatus(address);
    ASSERT_EQ(status.error, "");
    ASSERT_EQ(status.modules.size(), static_cast<std::size_t>(kModules));
    int ownersRight = 0;
    for (const ModuleStatus& m : status.modules) ownersRight += m.owner == ownerAtEnd.at(m.name);
    EXPECT_EQ(ownersRight, kModules);
    EXPECT_NE(fleetStatusJson({status.modules.front()}).find("\"owner\":\"S"), std::string::npos);
    EXPECT_EQ(lateTakeovers, 0) << "worst takeover " << worstTakeoverMs << " ms after the kill";
    EXPECT_GT(killedOnes, kModules / 5);
    EXPECT_EQ(movedElsewhere, 0) << "only the rejoining service's share moves";
    EXPECT_GT(backToS4, kModules / 5);
    EXPECT_LT(backToS4, kModules * 3 / 10);
    RecordProperty("takeover_worst_ms", std::to_string(worstTakeoverMs));
    std::printf("leases: %d modules of the killed service, taken over within %lld ms (lease %lld ms + 2 intervals); "
                "back to it after rejoining %d of %d; run %lld ms\n",
                killedOnes, worstTakeoverMs, static_cast<long long>(kLease.count()), backToS4, kModules,
                endAt - killedAt);
}
