// The port doctor: each adapter's trouble named with what to do, from the facts SetupAPI gives
// on Windows (recorded here as they come) and from a sysfs tree on Linux (a fake one).
#include <gtest/gtest.h>

#include <filesystem>

#include "link/ports/port_doctor.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel::link {
namespace {

PortFacts ftdiPort() {
    PortFacts facts;
    facts.device = "COM5";
    facts.description = "USB Serial Port (COM5)";
    facts.instanceId = "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000";
    facts.vendorId = 0x0403;
    facts.productId = 0x6001;
    facts.comNumber = 5;
    facts.problemCode = 0;
    facts.driver = "FTSER2K";
    facts.driverProvider = "FTDI";
    facts.driverVersion = "2.12.36.4";
    facts.latencyMs = 1;
    facts.latencyPlace = "HKLM\\SYSTEM\\CurrentControlSet\\Enum\\" + facts.instanceId + "\\Device Parameters";
    return facts;
}

FindingLevel worst(const std::vector<PortFinding>& findings) {
    FindingLevel level = FindingLevel::Ok;
    for (const PortFinding& finding : findings) level = std::max(level, finding.level);
    return level;
}

TEST(PortDoctor, NamesEachWindowsDevicesTroubleAsSetupApiReportsIt) {
    EXPECT_EQ(diagnose(ftdiPort()).size(), 1u);
    EXPECT_EQ(diagnose(ftdiPort())[0].text, "Działa.");

    PortFacts disabled = ftdiPort();
    disabled.problemCode = 22;
    EXPECT_EQ(diagnose(disabled)[0].text, "Urządzenie jest wyłączone (kod 22).");
    EXPECT_EQ(diagnose(disabled)[0].remedy, "W Menedżerze urządzeń: prawy przycisk na porcie → Włącz urządzenie.");

    // An adapter without a driver: a USB device under "Other devices", no port, no service.
    PortFacts missing;
    missing.device = missing.description = "FT232R USB UART";
    missing.instanceId = "USB\\VID_0403&PID_6001\\A50285BI";
    missing.vendorId = 0x0403;
    missing.productId = 0x6001;
    missing.problemCode = 28;
    const auto missingFindings = diagnose(missing);
    ASSERT_EQ(missingFindings.size(), 1u);   // the code says it all: no second "no driver"
    EXPECT_EQ(missingFindings[0].text, "Brak sterownika (kod 28).");

    PortFacts prolific;
    prolific.device = "COM3";
    prolific.vendorId = 0x067B;
    prolific.productId = 0x2303;
    prolific.problemCode = 10;
    prolific.driver = "Ser2pl";
    prolific.driverProvider = "Prolific";
    prolific.driverVersion = "3.8.39.0";
    const auto prolificFindings = diagnose(prolific);
    ASSERT_EQ(prolificFindings.size(), 2u);
    EXPECT_EQ(prolificFindings[0].text, "Sterownik nie mógł uruchomić urządzenia (kod 10).");
    EXPECT_NE(prolificFindings[1].text.find("PL2303HXA/XA"), std::string::npos);
    prolific.driverVersion = "3.3.2.105";   // the old driver those chips work with
    prolific.problemCode = 0;
    EXPECT_EQ(worst(diagnose(prolific)), FindingLevel::Ok);

    PortFacts slow = ftdiPort();
    slow.latencyMs = 16;
    const auto slowFindings = diagnose(slow);
    ASSERT_EQ(slowFindings.size(), 1u);
    EXPECT_EQ(slowFindings[0].level, FindingLevel::Warning);
    EXPECT_EQ(slowFindings[0].remedy.rfind("reg add \"HKLM\\SYSTEM\\CurrentControlSet\\Enum\\FTDIBUS\\VID_0403+PID_6001+"
                                           "A50285BIA\\0000\\Device Parameters\" /v LatencyTimer /t REG_DWORD /d 1 /f",
                                           0),
              0u)
        << slowFindings[0].remedy;

    PortFacts bricking = ftdiPort();
    bricking.driverVersion = "2.12.0.0";
    EXPECT_NE(diagnose(bricking)[0].text.find("2.12.00"), std::string::npos);
    PortFacts bricked = ftdiPort();
    bricked.productId = 0x0000;
    EXPECT_EQ(worst(diagnose(bricked)), FindingLevel::Problem);

    PortFacts high = ftdiPort();
    high.device = "COM300";
    high.comNumber = 300;
    EXPECT_EQ(diagnose(high)[0].text, "Numer COM300 jest większy niż 255: programy go nie otworzą.");

    PortFacts unplugged = ftdiPort();
    unplugged.present = false;
    unplugged.problemCode = 22;   // what an absent device reports says nothing of it
    ASSERT_EQ(diagnose(unplugged).size(), 1u);
    EXPECT_EQ(diagnose(unplugged)[0].level, FindingLevel::Note);
}

TEST(PortDoctor, ReportGivesEachDeviceItsFactsAndWhatToDo) {
    PortFacts slow = ftdiPort();
    slow.latencyMs = 16;
    slow.latencyPlace = "/sys/bus/usb-serial/devices/ttyUSB0/latency_timer";
    EXPECT_EQ(portDoctorReport(diagnose(std::vector<PortFacts>{slow})),
              "COM5  USB Serial Port (COM5)\n"
              "  USB 0403:6001, sterownik FTSER2K (FTDI 2.12.36.4), opóźnienie 16 ms\n"
              "  UWAGA Czasomierz opóźnienia (latency timer) adaptera FTDI: 16 ms; każda odpowiedź modułu dociera przez "
              "to później.\n"
              "        → echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer\n");
    EXPECT_EQ(portDoctorReport({}), "Nie znaleziono żadnego portu szeregowego ani adaptera.\n");
}

#ifndef _WIN32
// A sysfs tree as the kernel lays it out for an FTDI adapter on ttyUSB0 and a CDC modem on
// ttyACM0 whose driver is not loaded, a platform port ttyS0, and a modem manager holding
// ttyUSB0.
TEST(PortDoctor, ReadsAdaptersFromSysfs) {
    namespace fs = std::filesystem;
    using testing::writeWholeFile;
    const testing::TempFolder root;
    const fs::path sys = root.path / "sys", dev = root.path / "dev", proc = root.path / "proc";
    const fs::path usb = sys / "devices/pci0000:00/usb1/1-2";
    const fs::path ftdiPort = usb / "1-2:1.0/ttyUSB0";
    fs::create_directories(ftdiPort);
    fs::create_directories(sys / "bus/usb-serial/drivers/ftdi_sio");
    fs::create_symlink(sys / "bus/usb-serial/drivers/ftdi_sio", ftdiPort / "driver");
    writeWholeFile(ftdiPort / "latency_timer", "16\n");
    writeWholeFile(usb / "idVendor", "0403\n");
    writeWholeFile(usb / "idProduct", "6001\n");
    writeWholeFile(usb / "manufacturer", "FTDI\n");
    writeWholeFile(usb / "product", "FT232R USB UART\n");
    const fs::path acm = sys / "devices/pci0000:00/usb1/1-3/1-3:1.0";
    fs::create_directories(acm);
    writeWholeFile(acm / ".." / "idVendor", "2341\n");
    writeWholeFile(acm / ".." / "idProduct", "0043\n");
    const fs::path platform = sys / "devices/platform/serial8250/tty/ttyS0";
    fs::create_directories(platform);
    for (const auto& [name, device] : {std::pair{"ttyUSB0", ftdiPort}, std::pair{"ttyACM0", acm}, std::pair{"ttyS0", platform}}) {
        fs::create_directories(sys / "class/tty" / name);
        fs::create_symlink(device, sys / "class/tty" / name / "device");
        writeWholeFile(dev / name, "");
    }
    fs::create_directories(proc / "4242/fd");
    writeWholeFile(proc / "4242/comm", "ModemManager\n");
    fs::create_symlink(dev / "ttyUSB0", proc / "4242/fd/7");

    const auto diagnoses = diagnose(gatherSysfsPortFacts(sys, dev, proc));
    ASSERT_EQ(diagnoses.size(), 2u);   // the platform port is no adapter
    const PortDiagnosis& modem = diagnoses[0];
    EXPECT_EQ(modem.facts.device, (dev / "ttyACM0").string());
    EXPECT_EQ(modem.facts.vendorId, 0x2341);
    ASSERT_EQ(modem.findings.size(), 1u);
    EXPECT_EQ(modem.findings[0].text, "Żaden sterownik nie obsługuje urządzenia.");

    const PortDiagnosis& ftdi = diagnoses[1];
    EXPECT_EQ(ftdi.facts.description, "FTDI FT232R USB UART");
    EXPECT_EQ(ftdi.facts.driver, "ftdi_sio");
    EXPECT_EQ(ftdi.facts.latencyMs, 16);
    EXPECT_EQ(ftdi.facts.heldBy, "ModemManager");
    ASSERT_EQ(ftdi.findings.size(), 2u);
    EXPECT_EQ(ftdi.findings[0].remedy, "echo 1 | sudo tee " + (ftdiPort / "latency_timer").string());
    EXPECT_EQ(ftdi.findings[1].text, "Port trzyma otwarty program ModemManager.");
}
#endif

} // namespace
} // namespace kavrel::link
