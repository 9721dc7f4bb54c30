// The settings of a portable copy: INI files beside the programs, one per program, holding
// numbers and Windows-1250 texts that come back as they were written.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/ini_file_store.h"
#include "common/portable_mode.h"
#include "common/win1250.h"
#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace kavrel {
namespace {

using testing::readWholeFile;
using testing::TempFolder;
using testing::writeWholeFile;

constexpr const char* kShared = "Software\\Ostrevan\\Kavrel";
constexpr const char* kMonitor = "Software\\Ostrevan\\Kavrel-Monitor";

TEST(IniFileStore, WritesOneReadableFilePerProgramAndReadsEveryValueBack) {
    const TempFolder folder;
    IniFileStore store(folder.path);
    const std::string text = W("Łódź =\\ pompa\r\nwiersz");
    ASSERT_TRUE(store.write(kShared, "Port_COM", std::uint32_t{7}));
    ASSERT_TRUE(store.write(kShared, "Adres_IP", W("192.168.1.10")));
    ASSERT_TRUE(store.write(kMonitor, "Nazwa", text));
    ASSERT_TRUE(store.write(kMonitor, "Okres", std::uint32_t{0xFFFFFFFF}));

    EXPECT_EQ(readWholeFile(folder.path / "Kavrel.ini"),
              "[Software\\Ostrevan\\Kavrel]\r\nAdres_IP=sz:192.168.1.10\r\nPort_COM=dword:7\r\n\r\n");
    EXPECT_EQ(readWholeFile(folder.path / "Kavrel-Monitor.ini"),
              "[Software\\Ostrevan\\Kavrel-Monitor]\r\nNazwa=sz:\xC5\x81\xC3\xB3\x64\xC5\xBA \\x3D\\\\ pompa\\r\\nwiersz\r\n"
              "Okres=dword:4294967295\r\n\r\n");

    // A second run of the program (a new store) reads what the first one wrote.
    const IniFileStore again(folder.path);
    EXPECT_EQ(again.read(kMonitor, "Nazwa"), StoreValue{text});
    EXPECT_EQ(again.read(kMonitor, "Okres"), StoreValue{std::uint32_t{0xFFFFFFFF}});
    EXPECT_EQ(again.read(kShared, "Port_COM"), StoreValue{std::uint32_t{7}});
    EXPECT_FALSE(again.read(kShared, "Nazwa").has_value());
    EXPECT_FALSE(again.keyExists("Software\\Ostrevan\\Kavrel-Logger"));
}

TEST(IniFileStore, KeepsWhatWasEditedByHandAndSkipsLinesOfNoKnownForm) {
    const TempFolder folder;
    writeWholeFile(folder.path / "Kavrel.ini",
                   "; przygotowane dla ekipy\n[Software\\Ostrevan\\Kavrel]\nPort_COM=dword:3\nZa_duzo=dword:4294967296\n"
                   "Minus=dword:-1\nBez_znacznika=5\nbez rownosci\n[Software\\Ostrevan\\Kavrel\\Porty]\n");
    IniFileStore store(folder.path);
    EXPECT_EQ(store.read(kShared, "Port_COM"), StoreValue{std::uint32_t{3}});
    for (const char* name : {"Za_duzo", "Minus", "Bez_znacznika"}) EXPECT_FALSE(store.read(kShared, name)) << name;
    EXPECT_TRUE(store.keyExists("Software\\Ostrevan\\Kavrel\\Porty"));   // a section without values exists
    EXPECT_TRUE(store.createKey("Software\\Ostrevan\\Kavrel\\Przebieg"));
    EXPECT_TRUE(IniFileStore(folder.path).keyExists("Software\\Ostrevan\\Kavrel\\Przebieg"));
    EXPECT_EQ(store.read(kShared, "Port_COM"), StoreValue{std::uint32_t{3}});   // kept through the rewrite
}

TEST(IniFileStore, RefusesWhatItCannotStoreWithoutThrowing) {
    const TempFolder folder;
    writeWholeFile(folder.path / "plik", "nie folder");
    IniFileStore blocked(folder.path / "plik");   // the folder is a file: no INI can be written in it
    EXPECT_FALSE(blocked.write(kShared, "Port_COM", std::uint32_t{1}));
    EXPECT_FALSE(blocked.createKey(kShared));
    EXPECT_FALSE(blocked.keyExists(kShared));
    IniFileStore store(folder.path);
    for (const char* path : {"Software", "Software\\Ostrevan", "Software\\Ostrevan\\..", "Software\\Ostrevan\\a:b"})
        EXPECT_FALSE(store.write(path, "x", std::uint32_t{1})) << path;
}

TEST(PortableMode, OnlyAFolderWithTheMarkerIsPortable) {
    const TempFolder folder;
    EXPECT_FALSE(portableFolders(folder.path));
    writeWholeFile(folder.path / kPortableMarker, "");
    const auto portable = portableFolders(folder.path);
    ASSERT_TRUE(portable);
    EXPECT_EQ(portable->settings, folder.path);
    EXPECT_EQ(portable->data, folder.path / "dane" / "kopie");
    EXPECT_EQ(portableWriteProblem(*portable), "");
    EXPECT_FALSE(runningProgramFolder().empty());
}

} // namespace
} // namespace kavrel
