#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "link/connection_settings.h"
#include "link/ports/serial_device.h"

namespace kavrel::cli {
namespace {

using Action = CommandLine::Action;

// Resolves "module.example" and dotted addresses without the network; nothing else.
std::optional<std::string> fakeResolver(const std::string& host) {
    if (host == "module.example") return "10.1.2.3";
    if (!host.empty() && host.find_first_not_of("0123456789.") == std::string::npos) return host;
    return std::nullopt;
}

CommandLine parse(std::vector<std::string> args) { return parseCommandLine(args, fakeResolver); }

TEST(CliOptions, EachConnectionOptionChoosesTheModuleAndTheLastOneWins) {
    const CommandLine tcp = parse({"--tcp", "module.example:4001", "--gap-timing", "version", "--x"});
    ASSERT_EQ(tcp.action, Action::Run);
    EXPECT_TRUE(tcp.connectionChosen);
    EXPECT_TRUE(tcp.connection.tcp);
    EXPECT_EQ(tcp.connection.address, "10.1.2.3");
    EXPECT_EQ(tcp.connection.tcpPort, 4001);
    EXPECT_TRUE(tcp.connection.gapTiming);
    EXPECT_STREQ(tcp.command->name, "version");
    EXPECT_EQ(tcp.commandArgs, std::vector<std::string>{"--x"});  // the command's own, not the tool's

    EXPECT_EQ(parse({"--tcp", "127.0.0.1", "version"}).connection.tcpPort, 23);

    const CommandLine com = parse({"--tcp", "127.0.0.1", "--com", "255", "logger", "status"});
    EXPECT_FALSE(com.connection.tcp);
    EXPECT_EQ(com.connection.comPort, 255);
    EXPECT_EQ(com.commandArgs, std::vector<std::string>{"status"});

    const CommandLine device = parse({"--device", "/dev/ttyUSB0", "version"});
    EXPECT_FALSE(device.connection.tcp);
    EXPECT_EQ(device.connection.devicePath, "/dev/ttyUSB0");

    const CommandLine gapOnly = parse({"--gap-timing", "version"});
    EXPECT_FALSE(gapOnly.connectionChosen);  // the timing alone leaves the saved connection in use
    EXPECT_TRUE(gapOnly.connection.gapTiming);
}

TEST(CliOptions, BadMissingAndUnknownWordsAreUsageErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string error;
        bool showUsage;
    };
    const Case cases[] = {
        {{}, "", true},
        {{"--tcp"}, "kavrel: --tcp wymaga wartości\n", false},
        {{"--gap-timing", "--device"}, "kavrel: --device wymaga wartości\n", false},
        {{"--tcp", "127.0.0.1:0", "version"}, "kavrel: błędny port TCP w 127.0.0.1:0\n", false},
        {{"--tcp", "127.0.0.1:65536", "version"}, "kavrel: błędny port TCP w 127.0.0.1:65536\n", false},
        {{"--tcp", "127.0.0.1:", "version"}, "kavrel: błędny port TCP w 127.0.0.1:\n", false},
        {{"--tcp", "nowhere.example:23", "version"}, "kavrel: nieznany host nowhere.example\n", false},
        {{"--com", "0", "version"}, "kavrel: --com oczekuje numeru portu 1..255\n", false},
        {{"--com", "256", "version"}, "kavrel: --com oczekuje numeru portu 1..255\n", false},
        {{"--com", "+3", "version"}, "kavrel: --com oczekuje numeru portu 1..255\n", false},
        {{"--com", "12345678901", "version"}, "kavrel: --com oczekuje numeru portu 1..255\n", false},
        {{"--speed", "9600", "version"}, "kavrel: nieznana opcja --speed\n", true},
        {{"--speed"}, "kavrel: --speed wymaga wartości\n", false},
        {{"--com", "3"}, "", true},
        {{"bogus", "--help"}, "kavrel: nieznane polecenie bogus\n", true},
        {{"-x", "version"}, "kavrel: nieznane polecenie -x\n", true},
    };
    for (const Case& c : cases) {
        const CommandLine line = parse(c.args);
        const std::string words = ::testing::PrintToString(c.args);
        EXPECT_EQ(line.action, Action::UsageError) << words;
        EXPECT_EQ(line.error, c.error) << words;
        EXPECT_EQ(line.showUsage, c.showUsage) << words;
    }
}

TEST(CliOptions, HelpBeforeTheCommandIsTheToolsAndAfterItTheCommands) {
    EXPECT_EQ(parse({"--help", "--bogus"}).action, Action::Help);
    EXPECT_EQ(parse({"--com", "3", "-h"}).action, Action::Help);
    EXPECT_EQ(parse({"--device", "-h", "version"}).action, Action::Run);  // a value, not a request
    const CommandLine command = parse({"logger", "--help"});
    EXPECT_EQ(command.action, Action::CommandHelp);
    EXPECT_STREQ(command.command->name, "logger");
    EXPECT_EQ(parse({"logger", "status", "--help"}).action, Action::CommandHelp);
    EXPECT_EQ(parse({"config", "write", "a.kvl", "--dry-run", "-h"}).action, Action::CommandHelp);
    EXPECT_EQ(parse({"-V", "version"}).action, Action::Version);
    EXPECT_EQ(parse({"--com", "3", "--version"}).action, Action::Version);
}

TEST(CliOptions, ValuesAfterAnEqualsSignAndConnectionOptionsAfterTheCommand) {
    const CommandLine joined = parse({"--tcp=module.example:4001", "--com=7", "logger", "print", "--pdf=a=b.pdf"});
    ASSERT_EQ(joined.action, Action::Run) << joined.error;
    EXPECT_EQ(joined.connection.comPort, 7);
    EXPECT_EQ(joined.connection.address, "10.1.2.3");
    EXPECT_EQ(joined.commandArgs, (std::vector<std::string>{"print", "--pdf", "a=b.pdf"}));
    EXPECT_EQ(parse({"--com=", "version"}).error, "kavrel: --com oczekuje numeru portu 1..255\n");

    for (const char* option : {"--tcp", "--com", "--device", "--gap-timing"}) {
        const CommandLine late = parse({"config", "read", "-o", "a.kvl", option, "3"});
        EXPECT_EQ(late.action, Action::UsageError) << option;
        EXPECT_EQ(late.error.rfind(std::string("kavrel: ") + option + " jest opcją połączenia: podaj ją przed poleceniem", 0),
                  0u)
            << late.error;
    }
}

// On a terminal, progress is one line rewritten in place; a text after it starts a line
// of its own. Without a terminal there is no progress at all.
TEST(TerminalProgress, OneLineUpdatedInPlace) {
    std::ostringstream shown;
    {
        TerminalObserver terminal(shown, true);
        for (const int position : {0, 1, 1, 50}) terminal.progress(position);
        terminal.status("Odczyt");
        terminal.progress(75);
        terminal.progress(100);
        terminal.progress(20);
    }
    EXPECT_EQ(shown.str(), "\r[  0%]\r[  1%]\r[ 50%]\nOdczyt\n\r[ 75%]\r[100%]\n\r[ 20%]\n");

    std::ostringstream piped;
    TerminalObserver pipe(piped, false);
    for (int position = 0; position <= 100; ++position) pipe.progress(position);
    pipe.status("Koniec");
    EXPECT_EQ(piped.str(), "Koniec\n");
}

TEST(CliOptions, WithoutAConnectionOptionTheSavedOneIsUsed) {
    MemoryStore store;
    ASSERT_TRUE(store.createKey(link::kConnectionKey) && store.createKey(link::kSerialPortsKey));
    ASSERT_EQ(link::saveConnectionSettings(store, {.comPort = 4, .useTcp = true, .moduleAddress = "10.0.0.5",
                                                   .tcpPort = 4001}),
              FileResult::Ok);
    const link::Connection saved = completeConnection(parse({"version"}), store);
    EXPECT_FALSE(saved.isSerial());
    EXPECT_EQ(saved.address(), "10.0.0.5");
    EXPECT_EQ(saved.tcpPort(), 4001u);
    EXPECT_EQ(completeConnection(parse({"--com", "3", "version"}), store).serialTiming(), link::SerialTiming::Fast);

    ASSERT_TRUE(store.write(link::kSerialPortsKey, link::kGapTimingValue, std::uint32_t{1}));
    const link::Connection chosen = completeConnection(parse({"--device", "/dev/ttyUSB1", "version"}), store);
    EXPECT_TRUE(chosen.isSerial());
    EXPECT_EQ(chosen.device(), "/dev/ttyUSB1");
    EXPECT_EQ(chosen.serialTiming(), link::SerialTiming::Gap);  // chosen for good in the settings
}

} // namespace
} // namespace kavrel::cli
