#include <gtest/gtest.h>

#include "logger_sim.h"

namespace kavrel::logger {
namespace {

using testing::LoggerSim;
using testing::memoryOf;

class ConnectOverBothLinks : public ::testing::TestWithParam<bool> {};

TEST_P(ConnectOverBothLinks, ReadsTheStatusAndLeavesTheLinkOpen) {
    sim::SimOptions options = memoryOf(100);
    options.memory.cyclic = true;
    LoggerSim t(options, GetParam());
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    EXPECT_TRUE(t.link.isOpen());
    EXPECT_TRUE(t.session.connected);
    EXPECT_EQ(t.session.status.recordLength, 37);
    EXPECT_EQ(t.session.status.recordCount(), 112);   // whole blocks of a wrapped memory
    EXPECT_EQ(t.session.status.storedRecords, 37);
    EXPECT_EQ(t.session.status.clockText(), "2025-03-07 14:05:09");
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{});
    EXPECT_EQ(t.link.serialSpeed(), GetParam() ? 9600 : 115200);

    disconnectSession(t.session);
    EXPECT_FALSE(t.link.isOpen());
    EXPECT_FALSE(t.session.connected);
}

INSTANTIATE_TEST_SUITE_P(TcpAndSerial, ConnectOverBothLinks, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Tcp" : "Serial"; });

TEST(ReadStatus, FixedSpeedStaysAt9600) {
    LoggerSim t(memoryOf(5), false);
    t.session.fixedSpeed = true;
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    EXPECT_EQ(t.link.serialSpeed(), 9600);
}

struct StatusFault {
    const char* name;
    void (*apply)(sim::MemoryOptions&);
    bool tcp;
    StatusResult result;
    const char* message;
};

void PrintTo(const StatusFault& fault, std::ostream* os) { *os << fault.name; }

class StatusFaults : public ::testing::TestWithParam<StatusFault> {};

TEST_P(StatusFaults, FailWithTheirMessageAndCloseTheLink) {
    const StatusFault& fault = GetParam();
    sim::SimOptions options = memoryOf(10);
    fault.apply(options.memory);
    LoggerSim t(options, fault.tcp);
    EXPECT_EQ(connectSession(t.session), fault.result);
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{fault.message});
    EXPECT_FALSE(t.link.isOpen());
    EXPECT_FALSE(t.session.connected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StatusFaults,
    ::testing::Values(
        StatusFault{"SwappedCrc", [](sim::MemoryOptions& m) { m.faults.statusSwappedCrc = true; }, true, StatusResult::Error,
                    "message[error]: Błąd przy odczycie statusu!"},
        // Every attempt delivers a few bytes: no frame was ever checked, nothing stale is used.
        StatusFault{"ShortEveryTime", [](sim::MemoryOptions& m) { m.faults.statusShortBytes = 20; }, false,
                    StatusResult::WrongLength, "message[error]: Błąd komunikacji: niewłaściwa długość!"},
        // Whole frames with a bad CRC, then only short replies: the short ones are waited
        // out, so the CRC failure checked last decides the message.
        StatusFault{"CrcFailuresThenShort",
                    [](sim::MemoryOptions& m) {
                        m.faults.statusSwappedCrc = true;
                        m.faults.statusShortBytes = 20;
                        m.faults.statusShortAfter = 2;
                    },
                    false, StatusResult::Error, "message[error]: Błąd przy odczycie statusu!"},
        StatusFault{"RecordLengthAbove127", [](sim::MemoryOptions& m) { m.recordLength = 200; }, true, StatusResult::WrongLength,
                    "message[error]: Błąd komunikacji: niewłaściwa długość rekordów w statusie modułu (200)"},
        StatusFault{"RecordLengthWithoutTime", [](sim::MemoryOptions& m) { m.recordLength = 6; }, true,
                    StatusResult::WrongLength, "message[error]: Błąd komunikacji: niewłaściwa długość rekordów w statusie modułu (6)"}),
    [](const auto& info) { return info.param.name; });

// A TCP connection made after a serial one at 115200 starts at the normal speed: its end
// says nothing the module would wait for.
TEST(Disconnect, TcpAfterAFastSerialLinkSendsNoEot) {
    sim::SimOptions options = memoryOf(5);
    options.lineLog = std::make_shared<std::vector<std::string>>();
    LoggerSim t(options, false);
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    ASSERT_EQ(t.link.serialSpeed(), 115200);
    t.link.setConnection(t.sim.tcp());
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);  // ends the serial link with its two "*EOT!"
    EXPECT_EQ(t.link.serialSpeed(), 9600);
    options.lineLog->clear();
    disconnectSession(t.session);
    EXPECT_EQ(*options.lineLog, std::vector<std::string>{});
}

TEST(ReadStatus, NoReplyAtAllSaysSoAndCloses) {
    LoggerSim t(memoryOf(10));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    t.sim.setFaults({.silent = true});
    EXPECT_EQ(readStatus(t.session, kStatusSelector), StatusResult::NoReply);
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{"message[error]: Brak komunikacji z urządzeniem!"});
    EXPECT_FALSE(t.link.isOpen());
}

} // namespace
} // namespace kavrel::logger
