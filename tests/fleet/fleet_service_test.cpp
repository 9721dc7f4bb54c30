// The fleet service against simulated modules on loopback: a day of 50 modules whose
// memories grow and wrap, some cutting the link every 10th batch, collected with no record
// lost, each archived byte for byte as written, and every record the memories overwrote
// unread reported as a hole; a module with a 1.5 s round trip
// beside healthy ones, whose polls stay on time while collections run; backups that record
// no change when nothing changed (a field the module changes by itself included) and one
// changed field once, with before and after.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <map>
#include <set>

#include "fleet/fleet_service.h"
#include "fleet/job_store.h"
#include "fleet/link_jobs.h"
#include "fleet_sims.h"
#include "logger/archive/archive.h"
#include "sim/module_configuration.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::fleet;
using namespace std::chrono_literals;

namespace {

constexpr std::size_t kCollect = static_cast<std::size_t>(JobKind::Collect);
constexpr std::size_t kBackup = static_cast<std::size_t>(JobKind::Backup);

// Every job report, kept for the test to look at after the run.
class RecordingJobs final : public JobSink {
public:
    explicit RecordingJobs(JobSink& next) : next_(next) {}
    void jobDone(const JobReport& r) override {
        next_.jobDone(r);
        std::lock_guard lock(mutex_);
        reports.push_back(r);
    }
    void scheduled(const JobSchedule& s) override { next_.scheduled(s); }
    std::optional<WallTime> lastSuccess(const std::string& m, JobKind k) const override { return next_.lastSuccess(m, k); }
    void finish() override { next_.finish(); }
    std::vector<JobReport> reports;

private:
    JobSink& next_;
    std::mutex mutex_;
};

struct ServeRun {
    ServiceRunStats stats;
    std::vector<JobReport> reports;
    std::vector<PollRecord> polls;
};

ServeRun serve(const std::vector<FleetModule>& modules, ServicePlan plan, const std::filesystem::path& db,
          std::chrono::milliseconds duration) {
    ModuleRegistry registry(modules.size() + 16);
    for (const auto& m : modules) registry.add(m);
    JobStore store(db.string());
    EXPECT_EQ(store.error(), "");
    store.setNames(&registry.modules());
    RecordingJobs jobs(store);
    kavrel::testing::RecordingSink polls;
    LinkJobRunner runner;
    ServiceFigures figures;
    ServeRun run;
    {
        FleetService service(registry, plan, polls, runner, jobs, figures);
        ServiceControl control;
        run.stats = service.run(duration, control);
    }
    jobs.finish();
    run.reports = jobs.reports;
    run.polls = polls.records;
    return run;
}

long long countRows(const std::filesystem::path& db, const std::string& sql) {
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    sqlite3_stmt* statement = nullptr;
    long long n = -1;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK && sqlite3_step(statement) == SQLITE_ROW)
        n = sqlite3_column_int64(statement, 0);
    sqlite3_finalize(statement);
    sqlite3_close(handle);
    return n;
}

} // namespace

// 50 modules, a day in about 20 s (the clocks run 4,320 times fast: 15-minute periods every
// 0.2 s, about 10 records a second). Half of them hold 24 slots, so that their memory wraps between two collections and
// overwrites records before they are read; a fifth cut the link at every 10th batch.
TEST(FleetService, ADayOf50ModulesLosesNoRecordAndReportsEveryOverwrittenOneAsAHole) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    for (int i = 0; i < 50; ++i) {
        sim::SimOptions options;
        options.memory.records = i % 2 ? 400 : 24;
        options.memory.cyclic = true;
        options.memory.clockSpeed = 4320;
        if (i % 5 == 0) options.memory.faults.cutEveryBatch = 10;
        char name[16];
        std::snprintf(name, sizeof name, "M%03d", i + 1);
        sims.add(name, options);
    }
    ServicePlan plan;
    plan.interval = 1000ms;
    plan.every[kCollect] = 4s;
    plan.folders[kCollect] = folder.path / "archiwa";
    plan.jobs = 8;
    const ServeRun run = serve(sims.modules(), plan, folder.path / "f.db", 20s);

    long long holesOfSmall = 0;
    for (std::size_t m = 0; m < sims.modules().size(); ++m) {
        const std::string& name = sims.modules()[m].name;
        logger::archive::Archive archive;
        ASSERT_TRUE(archive.open(folder.path / "archiwa" / (name + ".db"), logger::archive::Archive::Access::ReadOnly))
            << name << ": " << archive.error();
        const auto modules = archive.modules(name);
        ASSERT_EQ(modules.size(), 1u) << name;
        ASSERT_EQ(modules[0].segments.size(), 1u) << name << ": the memory always continued the archive";
        const auto segment = modules[0].segments[0].id;
        // Every numbered record once, in order; every gap between two of them is a hole of
        // exactly the records missing, and every hole is such a gap.
        std::vector<std::int64_t> numbers;
        long long unlikeWritten = 0;
        const sim::SimModule& module = sims.sim(m).module();
        archive.forEach(segment, "", "", [&](const logger::archive::ArchivedRecord& r) {
            if (r.kind != 'P' && r.kind != 'Z') return true;
            numbers.push_back(r.number);
            // Byte for byte the record the module wrote, so every export of the archive is
            // the one an uncut download would give.
            const auto written = module.numberedFrame(r.number);
            unlikeWritten += !written || *written != std::string(r.frame.begin(), r.frame.end());
            return true;
        });
        EXPECT_EQ(unlikeWritten, 0) << name;
        ASSERT_GT(numbers.size(), 20u) << name;
        std::vector<std::pair<std::int64_t, std::int64_t>> gaps;
        for (std::size_t k = 1; k < numbers.size(); ++k) {
            ASSERT_GT(numbers[k], numbers[k - 1]) << name << ": record " << numbers[k] << " archived twice or out of order";
            if (numbers[k] != numbers[k - 1] + 1) gaps.emplace_back(numbers[k - 1] + 1, numbers[k] - 1);
        }
        std::vector<std::pair<std::int64_t, std::int64_t>> holes;
        for (const auto& h : archive.holes(segment)) holes.emplace_back(h.first, h.last);
        std::sort(holes.begin(), holes.end());
        EXPECT_EQ(holes, gaps) << name;
        // Every record the memory overwrote before any request read it is a hole, within the
        // archived span (what went before the first collection was never the archive's). A hole
        // may hold more: records the collector only looked at while finding its place, or
        // skipped as the memory moved under a slow download, all reported.
        std::set<std::int64_t> inHoles;
        for (const auto& [first, last] : holes)
            for (auto n = first; n <= last; ++n) inHoles.insert(n);
        for (const sim::NumberRange& r : module.overwrittenUnread())
            for (auto n = std::max<std::int64_t>(r.first, numbers.front()); n <= std::min<std::int64_t>(r.last, numbers.back()); ++n)
                EXPECT_TRUE(inHoles.count(n)) << name << ": record " << n << " was overwritten unread but is no hole";
        const bool small = m % 2 == 0;
        if (!small) EXPECT_TRUE(holes.empty()) << name << ": a memory of 400 never wraps past a 4 s collection";
        else holesOfSmall += static_cast<long long>(holes.size());
        // What the collections reported as lost is what the archive holds as holes.
        long long reported = 0, inArchive = 0;
        for (const auto& r : run.reports)
            if (r.moduleName == name) reported += r.lostRecords;
        for (const auto& [first, last] : holes) inArchive += last - first + 1;
        EXPECT_EQ(reported, inArchive) << name;
    }
    EXPECT_GT(holesOfSmall, 0) << "the small memories wrapped before they were collected";
    long long failed = 0;
    for (const auto& r : run.reports) failed += r.outcome == JobOutcome::Failed;
    EXPECT_EQ(failed, 0) << "a cut link is connected anew within the collection";
    EXPECT_EQ(countRows(folder.path / "f.db", "SELECT COUNT(*) FROM jobs WHERE kind = 'collect'"),
              static_cast<long long>(run.reports.size()));
}

// A module answering every line 1.5 s late beside ten healthy ones, all collected: the
// healthy modules' polls stay on time (99 % within 0.5 s) and their collections are done.
TEST(FleetService, ASlowModuleDelaysNoOtherModulesPollsNorJobs) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    sim::SimOptions slow;
    slow.faults.replyDelayMs = 1500;
    slow.memory.records = 600;
    sims.add("SLOW", slow);
    for (int i = 0; i < 10; ++i) {
        sim::SimOptions healthy;
        healthy.memory.records = 600;
        sims.add("H" + std::to_string(i), healthy);
    }
    ServicePlan plan;
    plan.interval = 500ms;
    plan.every[kCollect] = 3s;
    plan.folders[kCollect] = folder.path / "archiwa";
    plan.jobs = 2;
    plan.limits.connectMs = 1000;
    plan.limits.replyMs = 500;
    const ServeRun run = serve(sims.modules(), plan, folder.path / "f.db", 8s);

    long long healthyPolls = 0, onTime = 0;
    for (const auto& p : run.polls) {
        if (p.module == 0 || p.outcome == Outcome::Busy) continue;
        ++healthyPolls;
        if (p.outcome != Outcome::Skipped && p.lateSeconds <= 0.5) ++onTime;
    }
    ASSERT_GT(healthyPolls, 100);
    EXPECT_GE(onTime * 100, healthyPolls * 99) << onTime << " of " << healthyPolls;
    std::set<std::string> collected;
    for (const auto& r : run.reports)
        if (r.outcome == JobOutcome::Ok && r.moduleName != "SLOW") collected.insert(r.moduleName);
    EXPECT_EQ(collected.size(), 10u);
    // While its collection holds its link, the slow module's polls are busy rows, not queued.
    long long slowBusy = 0;
    for (const auto& p : run.polls) slowBusy += p.module == 0 && p.outcome == Outcome::Busy;
    EXPECT_GT(slowBusy, 0);
}

// Backups: two quiet runs record 0 changes (COPS, which the module changes by itself, moves
// at every read); then one field changed in the module shows once, with before and after.
TEST(FleetService, BackupsRecordNoFalseChangeAndOneRealChangeOnce) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    auto configuration = std::make_shared<sim::ModuleConfiguration>();
    sim::SimOptions watched;
    watched.config.module = configuration;
    watched.config.driftKeys = {"COPS"};
    sims.add("K1", watched);
    sim::SimOptions other;
    other.config.driftKeys = {"COPS"};
    sims.add("K2", other);
    ServicePlan plan;
    plan.interval = 1000ms;
    plan.every[kBackup] = 1s;
    plan.folders[kBackup] = folder.path / "kopie";
    const auto db = folder.path / "f.db";
    for (int quiet = 0; quiet < 2; ++quiet) {
        const ServeRun run = serve(sims.modules(), plan, db, 3500ms);
        int backups = 0;
        for (const auto& r : run.reports) {
            EXPECT_EQ(r.outcome, JobOutcome::Ok) << r.error;
            EXPECT_TRUE(r.changes.empty()) << r.moduleName << " " << (r.changes.empty() ? "" : r.changes[0].key);
            ++backups;
        }
        EXPECT_GE(backups, 4);
    }
    EXPECT_EQ(countRows(db, "SELECT COUNT(*) FROM config_changes"), 0);
    const std::string before = configuration->value("TRPT");
    ASSERT_EQ(configuration->apply("TRPT=77"), sim::ModuleConfiguration::Outcome::Accepted);
    const ServeRun run = serve(sims.modules(), plan, db, 3500ms);
    EXPECT_EQ(countRows(db, "SELECT COUNT(*) FROM config_changes"), 1);
    EXPECT_EQ(countRows(db, "SELECT COUNT(*) FROM config_changes WHERE module = 'K1' AND key = 'TRPT' AND before = '" +
                                before + "' AND after = '77'"),
              1);
    int changed = 0;
    for (const auto& r : run.reports) changed += !r.changes.empty();
    EXPECT_EQ(changed, 1);
    // A version kept per change: the first backup and the changed one.
    long long files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path / "kopie" / "K1"))
        files += entry.path().extension() == ".kvl";
    EXPECT_EQ(files, 2);
}

// A job looks its module's name up itself, at every run: by a name, over IPv6, and a name
// that does not exist is the job's own Polish reason, not a failure of the service.
TEST(FleetService, JobsReachModulesByNameAndOverIPv6) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    sims.addAt("BYNAME", "localhost", "127.0.0.1");
    sims.addAt("V6", "::1", "::1");
    sims.addUnknownName("NONAME");
    LinkJobRunner runner;
    const std::atomic<bool> cut{false};
    for (const FleetModule& module : sims.modules()) {
        for (const JobKind kind : {JobKind::Backup, JobKind::Collect}) {
            JobRequest request;
            request.kind = kind;
            request.target = module;
            request.folder = folder.path / (kind == JobKind::Backup ? "kopie" : "archiwa");
            const JobReport report = runner.run(request, cut);
            if (module.name == "NONAME") {
                EXPECT_EQ(report.outcome, JobOutcome::Failed);
                EXPECT_EQ(report.error, "nie znaleziono adresu nazwy no-such-module.invalid");
            } else {
                EXPECT_EQ(report.outcome, JobOutcome::Ok) << module.name << ": " << report.error;
            }
        }
    }
}

// A job that fails is retried after a growing pause, never longer than its period (a runner
// that fails at once, so that the pauses are the service's alone).
TEST(FleetService, AFailedJobIsRetriedWithAGrowingPause) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    sims.add("GONE");
    class Failing final : public JobRunner {
    public:
        JobReport run(const JobRequest&, const std::atomic<bool>&) override {
            JobReport r;
            r.started = r.ended = std::chrono::system_clock::now();
            r.error = "no";
            return r;
        }
    } failing;
    ServicePlan plan;
    plan.interval = 1000ms;
    plan.every[kBackup] = 1600ms;
    plan.firstRetry = 200ms;
    plan.folders[kBackup] = folder.path / "kopie";
    ModuleRegistry registry(4);
    registry.add(sims.modules()[0]);
    JobStore store((folder.path / "f.db").string());
    store.setNames(&registry.modules());
    RecordingJobs jobs(store);
    kavrel::testing::RecordingSink polls;
    ServiceFigures figures;
    {
        FleetService service(registry, plan, polls, failing, jobs, figures);
        ServiceControl control;
        const ServiceRunStats stats = service.run(4500ms, control);
        EXPECT_EQ(stats.jobs[kBackup][static_cast<std::size_t>(JobOutcome::Failed)],
                  static_cast<long long>(jobs.reports.size()));
    }
    jobs.finish();
    const auto& reports = jobs.reports;
    ASSERT_GE(reports.size(), 4u);
    std::vector<double> pauses;
    for (std::size_t k = 1; k < reports.size(); ++k)
        pauses.push_back(std::chrono::duration<double>(reports[k].started - reports[k - 1].ended).count());
    // Never early; late only by the loop's wake-up on a busy machine.
    const auto within = [](double pause, double expected) { return pause >= expected - 0.01 && pause <= expected + 0.3; };
    EXPECT_TRUE(within(pauses[0], 0.2)) << pauses[0];
    EXPECT_TRUE(within(pauses[1], 0.4)) << pauses[1];
    EXPECT_TRUE(within(pauses[2], 0.8)) << pauses[2];
    for (std::size_t k = 3; k < pauses.size(); ++k) EXPECT_TRUE(within(pauses[k], 1.6)) << k << ": " << pauses[k];
    for (std::size_t k = 0; k < reports.size(); ++k) EXPECT_EQ(reports[k].attempt, static_cast<int>(k + 1));
    EXPECT_EQ(countRows(folder.path / "f.db", "SELECT retries FROM module_jobs WHERE module = 'GONE'"),
              static_cast<long long>(reports.size()));
    EXPECT_EQ(figures.snapshot().modules[0].retries[kBackup], static_cast<int>(reports.size()));
}

// SIGHUP's reload: a module added starts polling, one removed stops, one changed gets a new
// owner (a new index) and its old one polls no more.
TEST(FleetService, AReloadStartsAddedStopsRemovedAndRenewsChangedModules) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    sims.add("A");
    sims.add("B");
    sims.add("B2");   // where B moves to
    sims.add("D");
    const auto all = sims.modules();
    ModuleRegistry registry(16);
    registry.add(all[0]);
    registry.add(all[1]);
    JobStore store((folder.path / "f.db").string());
    store.setNames(&registry.modules());
    kavrel::testing::RecordingSink polls;
    LinkJobRunner runner;
    ServiceFigures figures;
    ServicePlan plan;
    plan.interval = 200ms;
    FleetService service(registry, plan, polls, runner, store, figures);
    ServiceControl control;
    FleetList next;
    next.modules = {all[0], all[2], all[3]};
    next.modules[1].name = "B";   // B, at another port
    std::vector<ReloadResult> results;
    std::thread trigger([&] {
        std::this_thread::sleep_for(700ms);
        control.reload = true;
        std::this_thread::sleep_for(1000ms);
        control.stop = true;
    });
    service.run(0ms, control, [&] { return next; }, [&](const ReloadResult& r) { results.push_back(r); });
    trigger.join();
    store.finish();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_TRUE(results[0].applied);
    EXPECT_EQ(results[0].added, 1);
    EXPECT_EQ(results[0].changed, 1);
    EXPECT_EQ(results[0].removed, 0);
    ASSERT_EQ(registry.size(), 4u);
    EXPECT_EQ(registry.modules()[2].name, "B");
    EXPECT_EQ(registry.modules()[2].port, all[2].port);
    EXPECT_EQ(registry.modules()[3].name, "D");
    // After the reload the old B is polled no more; the new B and D are, and answer.
    const auto reloadedAt = polls.records.empty() ? WallTime{} : polls.of(2).front().started;
    for (const auto& p : polls.of(1)) EXPECT_LE(p.started, reloadedAt + 50ms);
    EXPECT_GE(polls.of(2).size(), 3u);
    EXPECT_GE(polls.of(3).size(), 3u);
    for (const auto& p : polls.of(3)) EXPECT_EQ(p.outcome, Outcome::Ok);
    EXPECT_FALSE(figures.snapshot().modules[1].active);
    // A bad list is refused whole: nothing changes.
    FleetList bad;
    bad.error = "fleet.txt:3: brak adresu";
    const ReloadResult refused = service.apply(bad, Steady::now());
    EXPECT_FALSE(refused.applied);
    EXPECT_EQ(refused.error, "fleet.txt:3: brak adresu");
    EXPECT_EQ(registry.size(), 4u);
}

// Ending the service cuts a collection at a batch boundary: what was fetched is committed,
// the job is "cut", and the run ends within a few batches.
TEST(FleetService, EndingCutsACollectionAtABatchBoundaryWithItsRecordsKept) {
    const kavrel::testing::TempFolder folder;
    kavrel::testing::FleetSims sims;
    sim::SimOptions big;
    big.memory.records = 6000;
    big.faults.replyDelayMs = 20;
    sims.add("BIG", big);
    ModuleRegistry registry(4);
    registry.add(sims.modules()[0]);
    JobStore store((folder.path / "f.db").string());
    store.setNames(&registry.modules());
    RecordingJobs jobs(store);
    kavrel::testing::RecordingSink polls;
    LinkJobRunner runner;
    ServiceFigures figures;
    ServicePlan plan;
    plan.interval = 500ms;
    plan.every[kCollect] = 1h;
    plan.folders[kCollect] = folder.path / "archiwa";
    FleetService service(registry, plan, polls, runner, jobs, figures);
    ServiceControl control;
    std::thread stopper([&] {
        std::this_thread::sleep_for(1500ms);
        control.stop = true;
    });
    const auto stopAsked = Steady::now() + 1500ms;
    service.run(0ms, control);
    const auto ended = Steady::now();
    stopper.join();
    jobs.finish();
    EXPECT_LT(ended - stopAsked, 2s);
    ASSERT_EQ(jobs.reports.size(), 1u);
    EXPECT_EQ(jobs.reports[0].outcome, JobOutcome::Cut);
    EXPECT_GT(jobs.reports[0].records, 0);
    EXPECT_LT(jobs.reports[0].records, 6000);
    logger::archive::Archive archive;
    ASSERT_TRUE(archive.open(folder.path / "archiwa" / "BIG.db", logger::archive::Archive::Access::ReadOnly));
    const auto modules = archive.modules("BIG");
    ASSERT_EQ(modules.size(), 1u);
    EXPECT_EQ(modules[0].segments[0].records, jobs.reports[0].records);
    EXPECT_EQ(countRows(folder.path / "f.db", "SELECT COUNT(*) FROM jobs WHERE outcome = 'cut'"), 1);
    long long busy = 0;
    for (const auto& p : polls.records) busy += p.outcome == Outcome::Busy;
    EXPECT_GT(busy, 0);
}

TEST(FleetService, DurationsAreSecondsMinutesHoursOrDays) {
    std::chrono::milliseconds d{};
    ASSERT_TRUE(parseDuration("90s", d));
    EXPECT_EQ(d, 90s);
    ASSERT_TRUE(parseDuration("15m", d));
    EXPECT_EQ(d, 15min);
    ASSERT_TRUE(parseDuration("6h", d));
    EXPECT_EQ(d, 6h);
    ASSERT_TRUE(parseDuration("1d", d));
    EXPECT_EQ(d, 24h);
    ASSERT_TRUE(parseDuration("1.5", d));
    EXPECT_EQ(d, 1500ms);
    for (const char* bad : {"", "0", "-5m", "5x", "m", "400d"}) EXPECT_FALSE(parseDuration(bad, d)) << bad;
}
