// The fleet database held by another program: rounds wait in memory up to the bound, then in
// the spool file, and are stored in order once the file is free; what cannot be stored by the
// end is counted, said in Polish, and stored by the next run.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "fleet/fleet_status.h"
#include "fleet/fleet_store.h"
#include "support/temp_folder.h"

using namespace kavrel::fleet;

namespace {

constexpr int kModules = 3;
constexpr int kRounds = 10;

std::vector<FleetModule> someModules() {
    std::vector<FleetModule> modules(kModules);
    for (int i = 0; i < kModules; ++i) {
        modules[i].name = "K" + std::to_string(i + 1);
        modules[i].host = "127.0.0.1";
    }
    return modules;
}

// Rounds of polls, each one stamped a millisecond after the one before.
void recordRounds(FleetStore& store, int rounds) {
    static long long stamp = 1'700'000'000'000;
    for (int r = 0; r < rounds; ++r) {
        for (int m = 0; m < kModules; ++m) {
            PollRecord record;
            record.module = static_cast<std::size_t>(m);
            record.started = WallTime(std::chrono::milliseconds(++stamp));
            record.outcome = m == 2 ? Outcome::Skipped : Outcome::NoAnswer;
            store.record(record);
        }
        store.endRound();
    }
}

// Another program's write transaction on the database, held until release().
class WriteLock {
public:
    explicit WriteLock(const std::string& path) {
        sqlite3_open(path.c_str(), &db_);
        locked_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~WriteLock() {
        release();
        sqlite3_close(db_);
    }
    bool locked() const { return locked_; }
    void release() {
        if (locked_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        locked_ = false;
    }

private:
    sqlite3* db_ = nullptr;
    bool locked_ = false;
};

std::vector<long long> storedStamps(const std::string& path) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* rows = nullptr;
    sqlite3_prepare_v2(db, "SELECT started_ms FROM polls ORDER BY id", -1, &rows, nullptr);
    std::vector<long long> stamps;
    while (sqlite3_step(rows) == SQLITE_ROW) stamps.push_back(sqlite3_column_int64(rows, 0));
    sqlite3_finalize(rows);
    sqlite3_close(db);
    return stamps;
}

bool ascending(const std::vector<long long>& v) { return std::is_sorted(v.begin(), v.end()) && std::adjacent_find(v.begin(), v.end()) == v.end(); }

constexpr StoreLimits kTestLimits{.roundsInMemory = 2, .spoolBytes = 1 << 20, .busyWaitMs = 20, .finalTries = 2};

} // namespace

TEST(FleetStore, RoundsTheDatabaseCannotTakeWaitOnDiskAndAreStoredInOrder) {
    const kavrel::testing::TempFolder folder;
    const std::string path = (folder.path / "f.db").string();
    const auto modules = someModules();
    FleetStore store(path, modules, kTestLimits);
    ASSERT_EQ(store.error(), "");
    WriteLock other(path);
    ASSERT_TRUE(other.locked());
    recordRounds(store, kRounds);
    // The bound holds while the file is held: the rounds beyond it go to the spool.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (store.spooledPolls() < (kRounds - 3) * kModules && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(store.waitingRounds(), kTestLimits.roundsInMemory + 1);
    EXPECT_GE(store.spooledPolls(), (kRounds - 3) * kModules);
    EXPECT_TRUE(std::filesystem::exists(path + "-rounds.spool"));

    other.release();
    store.finish();
    const StoreTally tally = store.tally();
    EXPECT_EQ(tally.stored, kRounds * kModules);
    EXPECT_EQ(tally.waiting, 0);
    EXPECT_EQ(tally.lost, 0);
    const auto stamps = storedStamps(path);
    EXPECT_EQ(stamps.size(), static_cast<std::size_t>(kRounds * kModules));
    EXPECT_TRUE(ascending(stamps));
    EXPECT_FALSE(std::filesystem::exists(path + "-rounds.spool"));
}

TEST(FleetStore, PollsNotStoredByTheEndAreCountedAndStoredByTheNextRun) {
    const kavrel::testing::TempFolder folder;
    const std::string path = (folder.path / "f.db").string();
    const auto modules = someModules();
    {
        FleetStore store(path, modules, kTestLimits);
        ASSERT_EQ(store.error(), "");
        WriteLock other(path);
        ASSERT_TRUE(other.locked());
        recordRounds(store, kRounds);
        store.finish();
        const StoreTally tally = store.tally();
        EXPECT_EQ(tally.stored, 0);
        EXPECT_EQ(tally.waiting, kRounds * kModules);
        EXPECT_EQ(tally.lost, 0);
        EXPECT_EQ(tally.reason, "baza jest zablokowana do zapisu przez inny program");
    }
    EXPECT_TRUE(storedStamps(path).empty());
    // The next run stores them first, then its own.
    FleetStore next(path, modules, kTestLimits);
    ASSERT_EQ(next.error(), "");
    EXPECT_EQ(next.spooledPolls(), kRounds * kModules);
    recordRounds(next, 1);
    next.finish();
    EXPECT_EQ(next.tally().stored, (kRounds + 1) * kModules);
    const auto stamps = storedStamps(path);
    EXPECT_EQ(stamps.size(), static_cast<std::size_t>((kRounds + 1) * kModules));
    EXPECT_TRUE(ascending(stamps));
}

TEST(FleetStore, SpooledPollsComeBackAsTheyWent) {
    const StoredPolls polls = {{{"K1", 17LL, -2.5, SqlValue{}, std::string("a\0b", 3)}, {"K1", 1LL}},
                               {{}, {SqlValue{}}}};
    const std::string bytes = encodePolls(polls);
    EXPECT_EQ(decodePolls(bytes), polls);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_FALSE(decodePolls(bytes.substr(0, cut))) << cut;
}

// The JSON status carries a failed connect's reason as the table does, null when there is none.
TEST(FleetStatusJson, CarriesTheReasonOfAFailedConnect) {
    ModuleStatus failed;
    failed.name = "M1";
    failed.reason = "nie znaleziono nazwy";
    ModuleStatus fine;
    fine.name = "M2";
    const std::string json = fleetStatusJson({failed, fine});
    EXPECT_NE(json.find("\"reason\":\"nie znaleziono nazwy\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\":\"M2\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"reason\":null"), std::string::npos) << json;
}
