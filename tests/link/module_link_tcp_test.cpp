// The link's exchanges over real loopback TCP against the simulator.
#include <gtest/gtest.h>

#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/sim_fixture.h"

using namespace kavrel;
using namespace kavrel::link;
using kavrel::testing::SimFixture;

namespace {

struct Stopwatch {
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    long ms() const {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
    }
};

} // namespace

TEST(ModuleLinkTcp, VersionReplyInOnePieceAndInTwo) {
    SimFixture sim;
    for (int splitBytes : {0, 8}) {
        sim.setFaults({.splitBytes = splitBytes, .splitDelayMs = 100});
        ModuleLink link;
        sim.useTcp(link);
        ASSERT_EQ(link.open(), LinkResult::Ok);
        EXPECT_TRUE(link.isOpen());
        EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::Ok);
        EXPECT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
        EXPECT_EQ(link.versionText(), "Kavrel V3.6EL") << "pieces of " << splitBytes;
        link.close();
        EXPECT_FALSE(link.isOpen());
    }
}

TEST(ModuleLinkTcp, VersionReplyInSmallPiecesIsCollectedToTheEndOfItsText) {
    SimFixture sim;
    // The first piece is the "OK" line alone: the exchange goes on to the text's CR.
    sim.setFaults({.splitBytes = 3, .splitDelayMs = 5});
    ModuleLink link;
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_EQ(link.sendCommand("VER?"), LinkResult::Ok);
    EXPECT_EQ(link.versionText(), "Kavrel V3.6EL");
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::Ok);  // and nothing of it is left for the next exchange
}

TEST(ModuleLinkTcp, QueryReplyCutOffByTheLimitIsReturnedAsReceived) {
    SimFixture sim;
    ModuleLink link;
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    Stopwatch watch;
    // The version reply never ends with CR "OK" CR, so the query waits out its 3 s.
    EXPECT_EQ(link.query("VER?"), LinkResult::Ok);
    EXPECT_GE(watch.ms(), 2900);
    EXPECT_EQ(link.receivedText(), "OK\rKavrel V3.6EL\r");
    EXPECT_EQ(link.receiveArea()[link.receivedText().size()], 0);
}

TEST(ModuleLinkTcp, ShortReplyModeEndsAtTheLastCrAndSilenceGivesThree) {
    SimFixture sim;
    ModuleLink link;
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    link.setShortReplyMode(true);
    Stopwatch watch;
    EXPECT_EQ(link.query("VER?"), LinkResult::Ok);
    EXPECT_LT(watch.ms(), 400);
    sim.setFaults({.silent = true});
    EXPECT_EQ(link.query("VER?"), LinkResult::NothingReceived);
    EXPECT_TRUE(link.isOpen());  // silence is not a lost connection
    EXPECT_EQ(link.open(), LinkResult::Ok);
    EXPECT_FALSE(link.shortReplyMode());  // every open clears it
}

TEST(ModuleLinkTcp, WithoutACounterEveryWaitEndsAtItsFirstCheck) {
    SimFixture sim({.faults = {.silent = true}});
    ModuleLink link;
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    link.timer().setCounterAvailable(false);
    Stopwatch watch;
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::Failed);
    EXPECT_EQ(link.query("SET?"), LinkResult::NothingReceived);
    EXPECT_LT(watch.ms(), 200);
}

TEST(ModuleLinkTcp, ModuleClosingTheConnectionGivesThreeAndCloseStillWorks) {
    SimFixture sim({.faults = {.closeMidReply = {"VER?"}}});
    ModuleLink link;
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    EXPECT_EQ(link.sendCommand("VER?"), LinkResult::NothingReceived);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::SendError);  // nothing to send on
    link.close();
    link.close();
    EXPECT_EQ(link.open(), LinkResult::Ok);  // and the next operation connects anew
    EXPECT_EQ(link.sendCommand("HALT!"), LinkResult::Ok);
}

TEST(ModuleLinkTcp, ConnectionRefusedEndsAfterTheLimit) {
    // A port that was free a moment ago: nothing listens there.
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in where{};
    where.sin_family = AF_INET;
    where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof where;
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&where), sizeof where), 0);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&where), &length);
    ::close(probe);

    ModuleLink link(LinkVariant::logger());
    link.setConnection(Connection::tcp("127.0.0.1", ntohs(where.sin_port)));
    Stopwatch watch;
    EXPECT_EQ(link.open(), LinkResult::Failed);
    EXPECT_GE(watch.ms(), 2900);
    EXPECT_LT(watch.ms(), 4500);
    EXPECT_FALSE(link.isOpen());
}

TEST(ModuleLinkTcp, AddressThatIsNotDottedIpv4FailsAtOnce) {
    ModuleLink link;
    link.setConnection(Connection::tcp("modul.local", 23));
    EXPECT_EQ(link.open(), LinkResult::Failed);
}

TEST(ModuleLinkTcp, OverlongCommandIsRefusedNotCut) {
    SimFixture sim;
    ModuleLink link;
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    const std::string tooLong(ModuleLink::kCommandMax, 'A');
    EXPECT_NE(link.sendCommand(tooLong), LinkResult::Ok);
    EXPECT_NE(link.query(tooLong), LinkResult::Ok);
}

TEST(ModuleLinkTcp, FixedQueryNeverWritesPastTheCallersBuffer) {
    SimFixture sim;
    ModuleLink link(LinkVariant::logger());
    sim.useTcp(link);
    ASSERT_EQ(link.open(), LinkResult::Ok);
    std::array<std::uint8_t, 8> buffer{};
    buffer.fill(0xAA);
    // Ask for more than the buffer holds: at most its size arrives.
    EXPECT_EQ(link.queryFixed("VER?", 100, std::span(buffer).first(5)), 5u);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + 5), "OK\rKa");
    EXPECT_EQ(buffer[5], 0xAA);
    // Into the area a reply may come out longer than expected.
    link.drainInput();
    EXPECT_GE(link.queryFixed("VER?", 3), 3u);
}
