// The simulated module as a whole: its command sets share what a real module keeps once.
#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "sim/module.h"
#include "sim/sim_flags.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

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

// --line-log: every line received, silent or answered, is in the file as soon as it came.
TEST(SimModule, LineLogHoldsEveryReceivedLineAtOnce) {
    const kavrel::testing::TempFolder temp;
    SimOptions options;
    options.lineLogFile = (temp.path / "lines.log").string();
    options.faults.silentCommands = {"SMS?"};
    SimModule module(options);
    ASSERT_TRUE(module.lineLogOpen());
    Session session;
    (void)module.answer("HALT!", session);
    (void)module.answer("SMS?", session);
    std::ifstream in(options.lineLogFile, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "HALT!\nSMS?\n");
    options.lineLogFile = (temp.path / "no-folder" / "lines.log").string();
    EXPECT_FALSE(SimModule(options).lineLogOpen());
}

// --config takes a file of key=value lines; a huge file or a FIFO is refused instead of
// being read without end.
TEST(SimModule, ConfigFlagRefusesHugeAndOddFiles) {
    const kavrel::testing::TempFolder temp;
    const std::filesystem::path& folder = temp.path;
    std::string applyError;
    const auto apply = [&](const std::filesystem::path& file) {
        SimOptions options;
        for (const auto& flag : configFlags())
            if (std::string_view(flag.name) == "--config") applyError = flag.apply(options, file.string());
        return options;
    };
    std::ofstream(folder / "lines.txt") << "PIN=4321\r\nOK\r\n";
    EXPECT_EQ(apply(folder / "lines.txt").config.seedLines, std::vector<std::string>{"PIN=4321"});
    EXPECT_EQ(applyError, "");
    std::filesystem::resize_file(folder / "lines.txt", 2 * 1024 * 1024);
    EXPECT_TRUE(apply(folder / "lines.txt").config.seedLines.empty());
    EXPECT_NE(applyError, "");
    ASSERT_EQ(::mkfifo((folder / "fifo.kvl").c_str(), 0600), 0);
    EXPECT_TRUE(apply(folder / "fifo.kvl").config.seedSettingsFile.empty());
    EXPECT_NE(applyError, "");
}

// --cut-listeners: connections refused for the window, then taken again on the same port.
TEST(SimServer, AListenerCutRefusesForItsWindowThenListensAgain) {
    SimOptions options;
    options.faults.cutListenersAfterMs = 0;
    options.faults.cutListenersForMs = 300;
    kavrel::testing::SimFixture sim(options);
    auto connects = [&sim] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        where.sin_port = htons(static_cast<std::uint16_t>(sim.port()));
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) == 0;
        ::close(fd);
        return ok;
    };
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(connects());
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(connects());
}
