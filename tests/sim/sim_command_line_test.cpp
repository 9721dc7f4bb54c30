// kavrel-sim's command line, read as main reads it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/sim_command_line.h"

namespace kavrel::sim {
namespace {

using Action = SimCommandLine::Action;

SimCommandLine parse(std::vector<std::string> args) { return parseSimCommandLine(args); }

TEST(SimCommandLine, EndpointsAndFlagsOfEveryGroupReachTheOptions) {
    const SimCommandLine line = parse({"--pty", "--tcp", "127.0.0.1:0", "--version", "Kavrel V2.5", "--silent-on",
                                       "MSR?", "--silent-on", "SET?", "--no-atim", "--records", "40", "--cyclic"});
    ASSERT_EQ(line.action, Action::Run) << line.error;
    EXPECT_TRUE(line.pty);
    EXPECT_EQ(line.tcp, "127.0.0.1:0");
    EXPECT_EQ(line.options.versionText, "Kavrel V2.5");
    EXPECT_EQ(line.options.faults.silentCommands, (std::vector<std::string>{"MSR?", "SET?"}));
    EXPECT_TRUE(line.options.config.omitAtim);
    EXPECT_EQ(line.options.memory.records, 40);
    EXPECT_TRUE(line.options.memory.cyclic);
    EXPECT_EQ(parse({"--pty"}).action, Action::Run);
    const SimCommandLine fleet = parse({"--tcp", "127.0.0.1:0", "--modules", "200", "--fleet-file", "f.txt", "--reply-delay", "2000"});
    ASSERT_EQ(fleet.action, Action::Run) << fleet.error;
    EXPECT_EQ(fleet.modules, 200);
    EXPECT_EQ(fleet.fleetFile, "f.txt");
    EXPECT_EQ(fleet.options.faults.replyDelayMs, 2000);
    const SimCommandLine slow = parse({"--pty", "--delay", "800:30", "--seed", "7"});
    ASSERT_EQ(slow.action, Action::Run) << slow.error;
    EXPECT_EQ(slow.options.faults.replyDelayMs, 800);
    EXPECT_EQ(slow.options.faults.replyJitterPercent, 30);
    EXPECT_EQ(slow.options.seed, 7u);
    EXPECT_EQ(parse({"--pty", "--delay", "300"}).options.faults.replyJitterPercent, 0);

    const TcpEndpoint endpoint = tcpEndpoint("127.0.0.1:2323");
    EXPECT_EQ(endpoint.address, "127.0.0.1");
    EXPECT_EQ(endpoint.port, 2323);
    EXPECT_EQ(tcpEndpoint("127.0.0.1").port, 0);  // any free port
}

TEST(SimCommandLine, BadMissingAndUnknownWordsAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
        bool showUsage;
    };
    const Case cases[] = {
        {{}, "", true},
        {{"--records", "5"}, "", true},  // nowhere to listen
        {{"--pty", "--tcp"}, "kavrel-sim: --tcp needs ADDRESS:PORT\n", false},
        {{"--pty", "--records"}, "kavrel-sim: --records needs N\n", false},
        {{"--pty", "--records", "-1"}, "kavrel-sim: --records expects a whole number from 0 to 1048544\n", false},
        {{"--pty", "--trailing", "cr"}, "kavrel-sim: --trailing expects crlf or lf\n", false},
        {{"--pty", "--delay", "800:101"}, "kavrel-sim: --delay expects MS or MS:JITTER, e.g. 800:30\n", false},
        {{"--pty", "--delay", "fast"}, "kavrel-sim: --delay expects MS or MS:JITTER, e.g. 800:30\n", false},
        {{"--pty", "--fast"}, "kavrel-sim: unknown option --fast\n", true},
        {{"--tcp", "127.0.0.1:0", "--modules", "0"}, "kavrel-sim: --modules expects 1..1000\n", false},
        {{"--pty", "--modules", "2"}, "kavrel-sim: --modules and --fleet-file serve over --tcp only\n", false},
    };
    for (const Case& c : cases) {
        const SimCommandLine line = parse(c.args);
        const std::string words = ::testing::PrintToString(c.args);
        EXPECT_EQ(line.action, Action::UsageError) << words;
        EXPECT_EQ(line.error, c.error) << words;
        EXPECT_EQ(line.showUsage, c.showUsage) << words;
    }
    EXPECT_EQ(parse({"--fast", "--help"}).action, Action::UsageError);  // read in order
    EXPECT_EQ(parse({"--pty", "-h", "--fast"}).action, Action::Help);
}

} // namespace
} // namespace kavrel::sim
