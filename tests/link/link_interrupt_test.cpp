// The link's interrupt: a wait on a silent module, on a refused connect and on the serial
// line ends soon after another thread triggers it, and nothing later touches the line.
// The bounds are generous: the waits interrupted here last 3 s to 46 s otherwise.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "link/module_link.h"
#include "link/trace/trace_transport.h"
#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::SimFixture;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr auto kGenerous = std::chrono::milliseconds(1500);

// Triggers the interrupt 100 ms after the call starts and returns how long the call took.
template <typename Call>
SteadyClock::duration timedWithInterrupt(LinkInterrupt& interrupt, Call call) {
    auto trigger = std::async(std::launch::async, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        interrupt.trigger();
    });
    const auto begun = SteadyClock::now();
    call();
    const auto took = SteadyClock::now() - begun;
    trigger.get();
    return took;
}

} // namespace

TEST(LinkInterrupt, EndsTheWaitForASilentModuleOnBothLines) {
    for (const int run : {0, 1, 2}) {
        const bool tcp = run != 1;
        const bool traced = run == 2;   // the trace's transport hands the interrupt on to the socket's
        SCOPED_TRACE(traced ? "traced tcp" : tcp ? "tcp" : "serial");
        if (traced) ::setenv(kTraceVariable, "1", 1);
        SimFixture sim({.faults = {.silent = true}});
        ModuleLink link(LinkVariant::monitor());
        auto interrupt = std::make_shared<LinkInterrupt>();
        link.setInterrupt(interrupt);
        if (tcp) sim.useTcp(link);
        else sim.useSerial(link);
        ASSERT_EQ(link.open(), LinkResult::Ok);
        LinkResult result = LinkResult::Ok;
        EXPECT_LT(timedWithInterrupt(*interrupt, [&] { result = link.query("MSR?"); }), kGenerous);
        EXPECT_NE(result, LinkResult::Ok);
        // Once triggered, the link fails at once: no exchange and no new connection.
        const auto begun = SteadyClock::now();
        EXPECT_NE(link.sendCommand("VER?"), LinkResult::Ok);
        EXPECT_EQ(link.queryFixed("ST?", 10), 0u);
        link.close();
        EXPECT_EQ(link.open(), LinkResult::Failed);
        EXPECT_LT(SteadyClock::now() - begun, std::chrono::milliseconds(500));
        ::unsetenv(kTraceVariable);
    }
}

TEST(LinkInterrupt, EndsATcpConnectThatKeepsBeingRefused) {
    std::uint32_t unusedPort = 0;
    {
        SimFixture sim;   // a port that was just free, and is closed again now
        unusedPort = static_cast<std::uint32_t>(sim.port());
    }
    ModuleLink link(LinkVariant::configurator());
    auto interrupt = std::make_shared<LinkInterrupt>();
    link.setInterrupt(interrupt);
    link.setConnection(Connection::tcp("127.0.0.1", unusedPort));
    LinkResult result = LinkResult::Ok;
    EXPECT_LT(timedWithInterrupt(*interrupt, [&] { result = link.open(); }), kGenerous);
    EXPECT_EQ(result, LinkResult::Failed);
}
