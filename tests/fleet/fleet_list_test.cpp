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
    const std::string text = "# fleet\r\n\n  K01\t10.0.0.7:4001   K.CFG\r\nK02 127.0.0.1\n   \n#K03 1.2.3.4\nK04 localhost:24\n"
                             "K05 [::1]:4002\nK06 fe80::1\nK07 [2001:db8::7]\nK08 gone.example.invalid:25";
    const FleetList list = parseFleetList(text, folder.path, "fleet.txt");
    ASSERT_EQ(list.error, "");
    ASSERT_EQ(list.modules.size(), 7u);
    EXPECT_EQ(list.modules[0].name, "K01");
    EXPECT_EQ(list.modules[0].endpoint(), "10.0.0.7:4001");
    EXPECT_EQ(list.modules[0].settings.lineName[0], W("Kocioł"));
    EXPECT_EQ(list.modules[1].port, kDefaultModulePort);
    EXPECT_EQ(list.modules[1].settings.lineName[0], "Linia L1");
    EXPECT_EQ(list.modules[2].endpoint(), "localhost:24") << "a name is kept as a name, looked up at each connect";
    EXPECT_EQ(list.modules[3].host, "::1");
    EXPECT_EQ(list.modules[3].endpoint(), "[::1]:4002");
    EXPECT_EQ(list.modules[4].endpoint(), "[fe80::1]:23");
    EXPECT_EQ(list.modules[5].endpoint(), "[2001:db8::7]:23");
    EXPECT_EQ(list.modules[6].endpoint(), "gone.example.invalid:25") << "a name not found today may be found tomorrow";
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
        {"B :23", "fleet.txt:3: brak adresu w \":23\""},
        {"B [::1", "fleet.txt:3: brak ']' w \"[::1\""},
        {"B [::1]x", "fleet.txt:3: oczekiwano [ADRES]:PORT w \"[::1]x\""},
        {"B [1.2.3.4]:23", "fleet.txt:3: niepoprawny adres IPv6 w \"[1.2.3.4]:23\""},
        {"B [::1]:0", "fleet.txt:3: port musi być z zakresu 1..65535 w \"[::1]:0\""},
        {"B bad!host", "fleet.txt:3: niepoprawny adres \"bad!host\""},
        {"A 1.2.3.4", "fleet.txt:3: nazwa \"A\" występuje dwa razy"},
        {"poller 1.2.3.4", "fleet.txt:3: nazwa \"poller\" jest zajęta przez stan samego odpytywania (kavrel/poller/stan)"},
        {"a/b 1.2.3.4", "fleet.txt:3: nazwa \"a/b\" musi mieć 1..64 znaki bez '/', '+' i '#'"},
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
