// The MQTT spool file: order kept across a restart, a torn last record cut off, the limit
// dropping the oldest messages first, the file emptied once everything was taken.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fleet/message_spool.h"
#include "support/temp_folder.h"

using namespace kavrel::fleet;

namespace {

std::vector<std::string> payloads(MessageSpool& spool) {
    std::vector<std::string> out;
    SpooledMessage m;
    for (std::size_t i = 0; spool.peek(i, m); ++i) out.push_back(m.topic + "=" + m.payload + (m.retained ? " (r)" : ""));
    return out;
}

} // namespace

TEST(MessageSpool, KeepsOrderAcrossARestartAndCutsATornRecord) {
    const kavrel::testing::TempFolder folder;
    const auto path = folder.path / "spool";
    {
        MessageSpool spool(path);
        ASSERT_TRUE(spool.isOpen());
        for (int i = 1; i <= 4; ++i) ASSERT_TRUE(spool.append({"t/" + std::to_string(i), "p" + std::to_string(i), i == 2}));
        spool.popFront();   // the first one was acknowledged
        EXPECT_EQ(payloads(spool), (std::vector<std::string>{"t/2=p2 (r)", "t/3=p3", "t/4=p4"}));
    }
    {
        std::ofstream torn(path, std::ios::binary | std::ios::app);
        torn.write("\x40\x00\x00", 3);   // a record cut short by a crash
    }
    MessageSpool again(path);
    // The next run sends what was not acknowledged, in order, and nothing twice.
    EXPECT_EQ(payloads(again), (std::vector<std::string>{"t/2=p2 (r)", "t/3=p3", "t/4=p4"}));
    ASSERT_TRUE(again.append({"t/5", "p5", false}));
    EXPECT_EQ(payloads(again).back(), "t/5=p5");
    while (again.count() > 0) again.popFront();
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(MessageSpool, ALimitDropsTheOldestFirst) {
    const kavrel::testing::TempFolder folder;
    MessageSpool spool(folder.path / "spool", 100);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(spool.append({"t", std::string(20, char('a' + i)), false}));
    EXPECT_LE(spool.bytes(), 100u);
    EXPECT_GT(spool.dropped(), 0);
    const auto left = payloads(spool);
    ASSERT_FALSE(left.empty());
    EXPECT_EQ(left.back(), "t=" + std::string(20, 'j'));
    EXPECT_EQ(static_cast<long long>(left.size()) + spool.dropped(), 10);
}

// Two pollers on one database: the second never appends to, nor takes from, the first's
// file; it spools beside it, and the first's file is free again once the first has ended.
TEST(MessageSpool, BelongsToOneProcessAtATime) {
    const kavrel::testing::TempFolder folder;
    const auto base = folder.path / "fleet.db-mqtt.spool";
    auto first = openOwnSpool(base, 1 << 20);
    ASSERT_TRUE(first->isOpen());
    EXPECT_EQ(first->path(), base);
    ASSERT_TRUE(first->append({"kavrel/A/pomiar", "a1", false}));
    {
        MessageSpool same(base);
        EXPECT_FALSE(same.isOpen());
        EXPECT_TRUE(same.lockedByOther());
        auto second = openOwnSpool(base, 1 << 20);
        ASSERT_TRUE(second->isOpen());
        EXPECT_EQ(second->path(), folder.path / "fleet.db-mqtt-2.spool");
        ASSERT_TRUE(second->append({"kavrel/B/pomiar", "b1", false}));
        EXPECT_EQ(payloads(*second), (std::vector<std::string>{"kavrel/B/pomiar=b1"}));
    }
    EXPECT_EQ(payloads(*first), (std::vector<std::string>{"kavrel/A/pomiar=a1"}));
    first.reset();
    auto again = openOwnSpool(base, 1 << 20);
    EXPECT_EQ(again->path(), base);
    EXPECT_EQ(payloads(*again), (std::vector<std::string>{"kavrel/A/pomiar=a1"}));
}
