// Retention: polls older than the raw period thinned to one row per module and interval
// (its first answered poll), newer ones untouched, and the work resumed by the next run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <thread>

#include "fleet/fleet_store.h"
#include "support/temp_folder.h"

using namespace kavrel::fleet;

namespace {

constexpr long long kMinute = 60'000;
constexpr long long kDay = 24 * 60 * kMinute;

std::vector<FleetModule> twoModules() {
    std::vector<FleetModule> modules(2);
    modules[0].name = "A";
    modules[1].name = "B";
    return modules;
}

// Every minute from `from` for `minutes`, for both modules: the first of each quarter hour
// unanswered, the others answered.
void recordMinutes(FleetStore& store, long long from, int minutes) {
    for (int i = 0; i < minutes; ++i)
        for (std::size_t m = 0; m < 2; ++m) {
            PollRecord poll;
            poll.module = m;
            poll.started = WallTime(std::chrono::milliseconds(from + i * kMinute));
            poll.outcome = i % 15 == 0 ? Outcome::NoAnswer : Outcome::Ok;
            if (poll.outcome == Outcome::Ok) poll.measurement.emplace();
            store.record(poll);
        }
    store.endRound();
}

std::vector<long long> startsOf(const std::string& dbPath, const char* module) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db, "SELECT started_ms FROM polls WHERE module = ?1 ORDER BY started_ms", -1, &query, nullptr);
    sqlite3_bind_text(query, 1, module, -1, SQLITE_STATIC);
    std::vector<long long> out;
    while (sqlite3_step(query) == SQLITE_ROW) out.push_back(sqlite3_column_int64(query, 0));
    sqlite3_finalize(query);
    sqlite3_close(db);
    return out;
}

} // namespace

TEST(FleetRetention, ThinsOldPollsToTheFirstAnsweredOfEachIntervalAndKeepsRecentOnes) {
    const kavrel::testing::TempFolder folder;
    const std::string dbPath = (folder.path / "fleet.db").string();
    const std::vector<FleetModule> modules = twoModules();
    const long long now = unixMs(std::chrono::system_clock::now());
    const long long old = (now - 3 * kDay) / (15 * kMinute) * (15 * kMinute);   // on an interval's start
    StoreLimits limits;
    limits.retention.keepRawMs = kDay;
    limits.retention.intervalMs = 15 * kMinute;
    limits.retention.budget = std::chrono::milliseconds(0);   // one module's interval a round: resumes across rounds and runs
    {
        FleetStore store(dbPath, modules, limits);
        recordMinutes(store, old, 60);              // an hour three days ago: four intervals
        recordMinutes(store, now - 10 * kMinute, 5);  // recent
        for (int round = 0; round < 3; ++round) recordMinutes(store, now - 5 * kMinute + round * kMinute, 1);
        store.finish();
    }
    {
        FleetStore store(dbPath, modules, limits);   // the next run goes on where the last stopped
        for (int round = 0; round < 10; ++round) recordMinutes(store, now + round * kMinute, 1);
        store.finish();
        EXPECT_GT(store.thinnedRows(), 0);
    }
    std::vector<long long> expected;
    for (int quarter = 0; quarter < 4; ++quarter) expected.push_back(old + (quarter * 15 + 1) * kMinute);
    for (int i = 0; i < 5; ++i) expected.push_back(now - 10 * kMinute + i * kMinute);
    for (int i = 0; i < 3; ++i) expected.push_back(now - 5 * kMinute + i * kMinute);
    for (int i = 0; i < 10; ++i) expected.push_back(now + i * kMinute);
    EXPECT_EQ(startsOf(dbPath, "A"), expected);
    EXPECT_EQ(startsOf(dbPath, "B"), expected);
}
