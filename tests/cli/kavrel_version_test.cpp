// The kavrel tool as a user runs it: a real process against the in-process simulator.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <vector>

#include "cli/run_kavrel.h"
#include "support/sim_fixture.h"

using kavrel::testing::runKavrel;
using kavrel::testing::SimFixture;
using kavrel::testing::ToolRun;

TEST(KavrelVersion, PrintsTheTextAndItsFieldsOverTcpAndSerial) {
    SimFixture sim;
    const ToolRun tcp = runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " version");
    EXPECT_EQ(tcp.exitCode, 0) << tcp.err;
    EXPECT_EQ(tcp.out, "Kavrel V3.6EL\nversionCode=0x36 E=1 L=1 variant=-\n");

    for (const char* timing : {"", "--gap-timing "}) {
        const ToolRun serial = runKavrel(std::string(timing) + "--com 4 version", "KAVREL_COM4=" + sim.ptyPath());
        EXPECT_EQ(serial.exitCode, 0) << timing << serial.err;
        EXPECT_EQ(serial.out, tcp.out) << timing;
    }

    // A converter that cuts the reply into small TCP segments.
    sim.setFaults({.splitBytes = 3, .splitDelayMs = 5});
    const ToolRun pieces = runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " version");
    EXPECT_EQ(pieces.exitCode, 0) << pieces.err;
    EXPECT_EQ(pieces.out, tcp.out);
}

TEST(KavrelVersion, FailuresSayWhatHappenedInPolish) {
    const ToolRun noPort = runKavrel("--com 9 version", "KAVREL_COM9=/dev/kavrel-brak");
    EXPECT_EQ(noPort.exitCode, 1);
    EXPECT_EQ(noPort.err, "Błąd otwarcia portu COM9 !\nNie ma urządzenia /dev/kavrel-brak\n");
    EXPECT_EQ(noPort.out, "");

    // A device given by its path is named by it, never as COM1.
    const ToolRun noDevice = runKavrel("--device /dev/kavrel-brak version");
    EXPECT_EQ(noDevice.exitCode, 1);
    EXPECT_EQ(noDevice.err, "Błąd otwarcia portu /dev/kavrel-brak !\nNie ma urządzenia /dev/kavrel-brak\n");
}

// A port the user may not open: as root the tool is run as nobody (setpriv), so the system
// really refuses it.
TEST(KavrelVersion, AUserWithoutAccessToThePortIsToldWhy) {
    SimFixture sim;
    std::string asUser;
    if (::geteuid() == 0) {
        if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is needed to run as another user";
        ASSERT_EQ(::chmod(sim.ptyPath().c_str(), 0600), 0);
        asUser = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups";
        // A build below a folder only root may enter (/root) cannot be run as nobody.
        if (runKavrel("--version", asUser).exitCode != 0) GTEST_SKIP() << "nobody cannot run the tool from this build folder";
    } else {
        ASSERT_EQ(::chmod(sim.ptyPath().c_str(), 0), 0);
    }
    const ToolRun refused = runKavrel("--device " + sim.ptyPath() + " version", asUser);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Błąd otwarcia portu " + sim.ptyPath() + " !\nBrak uprawnień do " + sim.ptyPath() +
                               ": dodaj użytkownika do grupy dialout\n");
}

TEST(KavrelVersion, UsageErrorsExitTwo) {
    EXPECT_EQ(runKavrel("").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1:99999 version").exitCode, 2);
    EXPECT_EQ(runKavrel("--com zero version").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1 bogus").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1 version extra").exitCode, 2);
    const ToolRun help = runKavrel("version --help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("użycie: kavrel"), std::string::npos);
}

TEST(KavrelPing, PrintsEachRoundTripAndTheirMinimumMedianAndMaximum) {
    // Every answer 100 ms late, give or take 30 %.
    SimFixture sim({.faults = {.replyDelayMs = 100, .replyJitterPercent = 30}});
    const ToolRun run = runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " ping --count 3");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::regex each(R"(VER\? (\d): (\d+\.\d) ms\n)");
    std::vector<double> times;
    for (std::sregex_iterator it(run.out.begin(), run.out.end(), each), end; it != end; ++it) {
        EXPECT_EQ((*it)[1], std::to_string(times.size() + 1));
        times.push_back(std::stod((*it)[2]));
    }
    ASSERT_EQ(times.size(), 3u) << run.out;
    std::sort(times.begin(), times.end());
    EXPECT_GE(times.front(), 69.0);
    EXPECT_LT(times.back(), 400.0);
    char summary[128];
    std::snprintf(summary, sizeof summary, "Odpowiedzi: 3 z 3, czas min %.1f ms, mediana %.1f ms, max %.1f ms\n",
                  times[0], times[1], times[2]);
    EXPECT_TRUE(run.out.ends_with(summary)) << run.out;

    EXPECT_EQ(runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " ping --count 0").exitCode, 2);
    EXPECT_EQ(runKavrel("--tcp 127.0.0.1:" + std::to_string(sim.port()) + " ping 3").exitCode, 2);
}
