// The home-automation discovery of a polled module: every topic and payload against the
// golden file, nothing again while its lines stay as they are, and an entity that is gone
// removed. KAVREL_UPDATE_GOLDEN=1 writes the golden file anew (to be read before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "common/win1250.h"
#include "fleet/fleet_poller.h"
#include "fleet/ha_discovery.h"
#include "fleet_sims.h"
#include "support/file_contents.h"

namespace kavrel::fleet {
namespace {

std::string listed(const std::vector<SpooledMessage>& messages) {
    std::string out;
    for (const SpooledMessage& m : messages) out += m.topic + (m.retained ? " (retained)\n" : "\n") + m.payload + "\n\n";
    return out;
}

PollRecord answeredPoll(const std::vector<FleetModule>& modules) {
    kavrel::testing::RecordingSink recorded;
    FleetTiming timing;
    timing.interval = std::chrono::milliseconds(200);
    FleetPoller poller(modules, timing, recorded);
    StopRequest stop;
    poller.run(std::chrono::milliseconds(300), stop);
    for (const PollRecord& r : recorded.records)
        if (r.outcome == Outcome::Ok) return r;
    ADD_FAILURE() << "no answered poll";
    return {};
}

TEST(HaDiscovery, EveryEntityOnceAtTheFirstAnswerAndAgainOnlyWhenTheLinesChange) {
    kavrel::testing::FleetSims sims;
    sims.add("Stacja 1ł");
    std::vector<FleetModule> modules = sims.modules();
    modules[0].settings.lineName[1] = W("Kocioł \"góra\"");
    const PollRecord poll = answeredPoll(modules);
    ASSERT_TRUE(poll.measurement);

    HaDiscovery discovery(modules.size());
    const std::vector<SpooledMessage> first = discovery.changed(poll, modules[0]);
    const std::filesystem::path golden = std::filesystem::path(KAVREL_GOLDEN_DIR) / "ha_discovery.txt";
    if (std::getenv("KAVREL_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << listed(first);
    EXPECT_EQ(listed(first), kavrel::testing::readWholeFile(golden));
    for (const SpooledMessage& m : first) EXPECT_TRUE(m.retained) << m.topic;

    // Steady polling: new values, the same lines.
    PollRecord later = poll;
    later.sequence += 5;
    later.measurement->gsmSignal = 3;
    EXPECT_TRUE(discovery.changed(later, modules[0]).empty());
    PollRecord failed = poll;
    failed.outcome = Outcome::NoAnswer;
    failed.measurement.reset();
    EXPECT_TRUE(discovery.changed(failed, modules[0]).empty());

    // The module no longer reports extended lines: their entities are removed, the rest sent again.
    ASSERT_NE(poll.measurement->extMode, 0);
    PollRecord fewer = poll;
    fewer.measurement->extMode = 0;
    const std::vector<SpooledMessage> changed = discovery.changed(fewer, modules[0]);
    std::size_t removed = 0;
    for (const SpooledMessage& m : changed) {
        if (!m.payload.empty()) continue;
        ++removed;
        EXPECT_NE(m.topic.find("/xl"), std::string::npos) << m.topic;
    }
    EXPECT_GT(removed, 0u);
    EXPECT_EQ(changed.size() - removed, first.size() - removed);
    EXPECT_TRUE(discovery.changed(fewer, modules[0]).empty());
}

} // namespace
} // namespace kavrel::fleet
