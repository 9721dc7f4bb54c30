#include <gtest/gtest.h>

#include "logger/commands/module_commands.h"
#include "logger_sim.h"

namespace kavrel::logger {
namespace {

using testing::LoggerSim;
using testing::memoryOf;

TEST(LoggingCommand, CarriesThePeriodAndTheClockOfThePc) {
    const LocalDateTime now{2025, 3, 7, 14, 5, 9, 5};
    EXPECT_EQ(loggingCommand(15, true, now), "LOGT=15 TIME=25/03/07,14:05:09");
    EXPECT_EQ(loggingCommand(15, false, now), "LOGT=15");
    EXPECT_EQ(loggingCommand(0, true, {2100, 12, 31, 0, 0, 0, 5}), "LOGT=0 TIME=00/12/31,00:00:00");
}

TEST(ClearMemory, EmptiesTheModuleAndReadsTheStatusAgain) {
    LoggerSim t(memoryOf(120));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    EXPECT_EQ(t.session.status.storedRecords, 120);
    t.observer.answers = {true};
    EXPECT_EQ(clearMemory(t.session), CommandResult::Confirmed);
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{"message[information]: Zawartość pamięci skasowana."});
    EXPECT_EQ(t.observer.only("ask"), std::vector<std::string>{"ask: Czy na pewno chcesz skasować\nzawartość pamięci w module ?"});
    EXPECT_EQ(t.session.status.storedRecords, 0);
}

TEST(ClearMemory, AnsweringNoStillRefreshesTheStatus) {
    LoggerSim t(memoryOf(120));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    t.session.status.storedRecords = -1;  // so that a fresh read shows
    EXPECT_EQ(clearMemory(t.session), CommandResult::Declined);
    EXPECT_EQ(t.session.status.storedRecords, 120);
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{});
}

TEST(ClearMemory, WithoutConfirmationSaysSo) {
    LoggerSim t(memoryOf(12));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    t.sim.setFaults({.silentCommands = {"*CLR"}});
    t.observer.answers = {true};
    EXPECT_EQ(clearMemory(t.session), CommandResult::NotConfirmed);
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{"message[error]: Brak potwierdzenia."});
    EXPECT_TRUE(t.link.isOpen());
}

TEST(ChangeLogging, SetsThePeriodAndTheClock) {
    LoggerSim t(memoryOf(12), false);
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    FixedClock clock({2026, 1, 2, 3, 4, 5, 5});
    EXPECT_EQ(changeLogging(t.session, 30, true, clock), CommandResult::Confirmed);
    EXPECT_EQ(t.session.status.loggingPeriod, 30);
    EXPECT_EQ(t.session.status.clockText(), "2026-01-02  3:04:05");
    EXPECT_EQ(changeLogging(t.session, 5, false, clock), CommandResult::Confirmed);
    EXPECT_EQ(t.session.status.loggingPeriod, 5);
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{});
}

TEST(ChangeLogging, ARefusedCommandIsNotConfirmed) {
    LoggerSim t(memoryOf(12));
    ASSERT_EQ(connectSession(t.session), StatusResult::Ok);
    FixedClock clock({2026, 1, 2, 3, 4, 5, 5});
    EXPECT_EQ(changeLogging(t.session, 300, false, clock), CommandResult::NotConfirmed);  // the module answers ERROR
    EXPECT_EQ(t.observer.only("message"), std::vector<std::string>{"message[error]: Brak potwierdzenia!"});
    EXPECT_EQ(t.session.status.loggingPeriod, 15);
}

} // namespace
} // namespace kavrel::logger
