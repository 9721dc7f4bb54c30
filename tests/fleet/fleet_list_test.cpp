// The fleet file: what a good one gives, and every kind of bad line refused with its number.
#include <gtest/gtest.h>

#include <fstream>

#include "common/win1250.h"
#include "fleet/fleet_list.h"
#include "support/temp_folder.h"

using namespace kavrel;
using namespace kavrel::fleet;

TEST(FleetList, ReadsNamesAddressesPortsAndSettingsBesideTheFile) {
    const kavrel::testing::TempFolder folder;
    monitor::MonitorSettings kotlownia;
    kotlownia.lineName[0] = W("Kocioł");
    ASSERT_EQ(monitor::saveMonitorSettings((folder.path / "K.CFG").string(), kotlownia), FileResult::Ok);
    const std::string text = "# fleet\r\n\n  K01\t10.0.0.7:4001   K.CFG\r\nK02 127.0.0.1\n   \n#K03 1.2.3.4\nK04 localhost:24";
    const FleetList list = parseFleetList(text, folder.path, "fleet.txt");
    ASSERT_EQ(list.error, "");
    ASSERT_EQ(list.modules.size(), 3u);
    EXPECT_EQ(list.modules[0].name, "K01");
    EXPECT_EQ(list.modules[0].endpoint(), "10.0.0.7:4001");
    EXPECT_EQ(list.modules[0].settings.lineName[0], W("Kocioł"));
    EXPECT_EQ(list.modules[1].port, kDefaultModulePort);
    EXPECT_EQ(list.modules[1].settings.lineName[0], "Linia L1");
    EXPECT_EQ(list.modules[2].address, list.modules[1].address) << "localhost resolves to 127.0.0.1";
}

TEST(FleetList, RefusesABadLineWithItsNumber) {
    const kavrel::testing::TempFolder folder;
    const std::string good = "# header\nA 127.0.0.1:5000\n";
    const struct {
        std::string line;
        std::string error;
    } cases[] = {
        {"B", "fleet.txt:3: oczekiwano NAZWA HOST[:PORT] [USTAWIENIA.CFG], brak adresu"},
        {"B 1.2.3.4 X.CFG extra", "fleet.txt:3: oczekiwano NAZWA HOST[:PORT] [USTAWIENIA.CFG], pól: 4"},
        {"B 1.2.3.4:0", "fleet.txt:3: port musi być z zakresu 1..65535 w \"1.2.3.4:0\""},
        {"B 1.2.3.4:70000", "fleet.txt:3: port musi być z zakresu 1..65535 w \"1.2.3.4:70000\""},
        {"B :23", "fleet.txt:3: no host in \":23\""},
        {"A 1.2.3.4", "fleet.txt:3: nazwa \"A\" występuje dwa razy"},
        {"poller 1.2.3.4", "fleet.txt:3: nazwa \"poller\" jest zajęta przez stan samego odpytywania (kavrel/poller/stan)"},
        {"a/b 1.2.3.4", "fleet.txt:3: nazwa \"a/b\" musi mieć 1..64 znaki bez '/', '+' i '#'"},
        {"B no.such.host.invalid", "fleet.txt:3: nieznany host \"no.such.host.invalid\""},
        {"B 1.2.3.4 MISSING.CFG", "fleet.txt:3: nie można odczytać pliku ustawień monitora " + (folder.path / "MISSING.CFG").string()},
    };
    for (const auto& c : cases) {
        const FleetList list = parseFleetList(good + c.line + "\nC 1.2.3.4\n", folder.path, "fleet.txt");
        EXPECT_EQ(list.error, c.error) << c.line;
        EXPECT_TRUE(list.modules.empty()) << c.line;
    }
    EXPECT_EQ(parseFleetList("# nothing\n\n", folder.path, "fleet.txt").error, "fleet.txt: brak modułów na liście");
    EXPECT_EQ(loadFleetList(folder.path / "none.txt").error, "nie można otworzyć " + (folder.path / "none.txt").string());
}
