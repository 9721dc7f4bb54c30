// kavrel ports: a COM number mapped on the command line is the port the tool then opens;
// an adapter is stored by its stable name and marked while another program holds it.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/run_kavrel.h"
#include "support/sim_fixture.h"
#include "support/temp_folder.h"

using kavrel::testing::runKavrel;
using kavrel::testing::SimFixture;
using kavrel::testing::TempFolder;
using kavrel::testing::ToolRun;
namespace fs = std::filesystem;

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
    EXPECT_NE(list.out.find(sim.ptyPath() + "\tCOM6\t(przypisane urządzenie)\t-\t-\t-\t-\t-\n"), std::string::npos)
        << list.out;

    const ToolRun unmap = runKavrel("ports --unmap 6", "KAVREL_COM6=", settings.path);
    EXPECT_EQ(unmap.exitCode, 0) << unmap.err;
    EXPECT_EQ(unmap.out, "COM6\t/dev/ttyS5\n");
    EXPECT_EQ(runKavrel("ports", "KAVREL_COM6=", settings.path).out.find(sim.ptyPath()), std::string::npos);
}

// A portable copy (portable.ini beside the program) keeps its mapping in the INI file beside
// it, and the user's own settings are never touched.
TEST(KavrelPorts, PortableCopyKeepsItsMappingBesideItself) {
    SimFixture sim;
    const TempFolder settings;
    const fs::path stick = settings.path / "pendrive";
    fs::create_directories(stick);
    fs::copy_file(KAVREL_CLI, stick / "kavrel");
    kavrel::testing::writeWholeFile(stick / "portable.ini", "");
    const std::string portable = (stick / "kavrel").string();
    const auto run = [&](const std::string& arguments) {
        return kavrel::testing::runShellCommand("XDG_CONFIG_HOME='" + (settings.path / "config").string() +
                                                "' KAVREL_COM6= '" + portable + "' " + arguments + " 2>/dev/null");
    };
    const ToolRun map = run("ports --map 6 " + sim.ptyPath());
    ASSERT_EQ(map.exitCode, 0) << map.out;
    EXPECT_EQ(map.out, "COM6\t" + sim.ptyPath() + "\n");
    EXPECT_EQ(kavrel::testing::readWholeFile(stick / "Kavrel.ini"),
              "[Software\\Ostrevan\\Kavrel]\r\n\r\n[Software\\Ostrevan\\Kavrel\\Porty]\r\nCOM6=sz:" + sim.ptyPath() +
                  "\r\n\r\n");
    const ToolRun version = run("--com 6 version");
    EXPECT_EQ(version.exitCode, 0) << version.out;
    EXPECT_EQ(version.out, "Kavrel V3.6EL\nversionCode=0x36 E=1 L=1 variant=-\n");
    EXPECT_FALSE(fs::exists(settings.path / "config")) << "the portable copy wrote the user's settings";
    // The installed tool, with the user's settings, knows nothing of the stick's mapping.
    EXPECT_EQ(runKavrel("ports", "KAVREL_COM6=", settings.path).out.find(sim.ptyPath()), std::string::npos);
}

TEST(KavrelPorts, AdapterIsStoredByItsStableNameAndMarkedWhileAnotherProgramHoldsIt) {
    SimFixture sim;
    const TempFolder settings;
    const fs::path byId = settings.path / "by-id";
    fs::create_directories(byId);
    const std::string stable = (byId / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string();
    fs::create_symlink(sim.ptyPath(), stable);
    const std::string environment = "KAVREL_COM6= KAVREL_SERIAL_BY_ID='" + byId.string() + "'";

    // Mapped by its present name, the adapter is stored by the name that survives a replug.
    const ToolRun map = runKavrel("ports --map 6 " + sim.ptyPath(), environment, settings.path);
    ASSERT_EQ(map.exitCode, 0) << map.err;
    EXPECT_EQ(map.out, "COM6\t" + stable + "\n");
    EXPECT_EQ(runKavrel("--com 6 version", environment, settings.path).exitCode, 0);

    const std::string row = stable + "\tCOM6\t(przypisane urządzenie)\t-\t-\t-\t-\t";
    {
        // Another program holds the port: the list says so, and the tool cannot open it.
        kavrel::link::ModuleLink holder;
        sim.useSerial(holder);
        ASSERT_EQ(holder.open(), kavrel::link::LinkResult::Ok);
        const ToolRun held = runKavrel("ports", environment, settings.path);
        EXPECT_NE(held.out.find(row + "zajęty przez inny program\n"), std::string::npos) << held.out;
        EXPECT_EQ(runKavrel("--com 6 version", environment, settings.path).exitCode, 1);
        const ToolRun json = runKavrel("ports --json", environment, settings.path);
        EXPECT_NE(json.out.find("\"stableName\":null,\"access\":\"in-use\""), std::string::npos) << json.out;
    }
    const ToolRun freed = runKavrel("ports", environment, settings.path);
    EXPECT_NE(freed.out.find(row + "-\n"), std::string::npos) << freed.out;
}

TEST(KavrelPorts, BadArgumentsExitTwo) {
    const TempFolder settings;
    for (const char* arguments : {"ports --map 0 /dev/ttyUSB0", "ports --map 256 /dev/ttyUSB0", "ports --map 3",
                                  "ports --unmap", "ports --map x /dev/ttyUSB0", "ports --list"}) {
        const ToolRun run = runKavrel(arguments, "", settings.path);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("użycie: kavrel ports"), std::string::npos) << arguments;
    }
}
