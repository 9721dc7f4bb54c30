// The simulated module as a whole: its command sets share what a real module keeps once.
#include <gtest/gtest.h>

#include "sim/module.h"

using namespace kavrel::sim;

TEST(SimModule, LoggingPeriodSetByTheLoggerIsTheConfigurationsLogt) {
    SimModule module(SimOptions{});
    Session session;
    EXPECT_EQ(module.answer("LOGT=7 TIME=26/01/02,03:04:05", session).bytes, "OK\r");
    const std::string settings = module.answer("SET?", session).bytes;
    EXPECT_NE(settings.find("LOGT=7\r"), std::string::npos) << settings;
}

TEST(SimModule, UnknownLinesAreIgnoredAndFaultsApplyToEveryAnswer) {
    SimModule module(SimOptions{});
    Session session;
    EXPECT_TRUE(module.answer("FOO?", session).silent);
    module.setFaults({.silentCommands = {"VER?"}});
    EXPECT_TRUE(module.answer("VER?", session).silent);
    EXPECT_EQ(module.answer("HALT!", session).bytes, "OK\r");
    Session serial{.framing = Framing::Serial};
    module.setFaults({.badSerialStart = true});
    EXPECT_EQ(module.answer("HALT!", serial).bytes, "\r\nOK\r");
}
