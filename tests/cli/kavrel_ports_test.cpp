// kavrel ports: a COM number mapped on the command line is the port the tool then opens.
#include <gtest/gtest.h>

#include "cli/run_kavrel.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using kavrel::testing::runKavrel;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
using kavrel::testing::ToolRun;

TEST(KavrelPorts, MappedNumberReachesTheSimulatorAndIsListedUntilUnmapped) {
    SimFixture sim;
    const TempFolder settings;   // the mapping lives here from run to run, and nowhere else
    const ToolRun map = runKavrel("ports --map 6 " + sim.ptyPath(), "KAVREL_COM6=", settings.path);
    ASSERT_EQ(map.exitCode, 0) << map.err;
    EXPECT_EQ(map.out, "COM6\t" + sim.ptyPath() + "\n");

    const ToolRun version = runKavrel("--com 6 version", "KAVREL_COM6=", settings.path);
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_EQ(version.out, "Kavrel V3.6EL\nversionCode=0x36 E=1 L=1 variant=-\n");

    // The pseudo-terminal is no port the system lists; the mapping shows it all the same.
    const ToolRun list = runKavrel("ports", "KAVREL_COM6=", settings.path);
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find(sim.ptyPath() + "\tCOM6\t(przypisane urządzenie)\t-\t-\t-\n"), std::string::npos)
        << list.out;

    const ToolRun unmap = runKavrel("ports --unmap 6", "KAVREL_COM6=", settings.path);
    EXPECT_EQ(unmap.exitCode, 0) << unmap.err;
    EXPECT_EQ(unmap.out, "COM6\t/dev/ttyS5\n");
    EXPECT_EQ(runKavrel("ports", "KAVREL_COM6=", settings.path).out.find(sim.ptyPath()), std::string::npos);
}

TEST(KavrelPorts, BadArgumentsExitTwo) {
    const TempFolder settings;
    for (const char* arguments : {"ports --map 0 /dev/ttyUSB0", "ports --map 256 /dev/ttyUSB0", "ports --map 3",
                                  "ports --unmap", "ports --map x /dev/ttyUSB0", "ports --list"}) {
        const ToolRun run = runKavrel(arguments, "", settings.path);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("usage: kavrel ports"), std::string::npos) << arguments;
    }
}
