// The desktop's view of the programs' files: the installed MIME types, read by the same
// database a file manager uses, and the menu entries that open each type.
#include <gtest/gtest.h>

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QString>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/file_contents.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using kavrel::testing::readWholeFile;
using kavrel::testing::TempFolder;

const std::string kResources = KAVREL_RESOURCES;

void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

// A .kvl by its name; the monitor's settings by their first bytes only, whatever the name,
// and a .CFG of another program never.
TEST(DesktopFiles, TypesOfTheSettingsFiles) {
    const TempFolder temp;
    const fs::path data = temp.path / "share";
    fs::create_directories(data / "mime" / "packages");
    fs::copy_file(kResources + "/mime/kavrel-tools.xml", data / "mime" / "packages" / "kavrel-tools.xml");
    // As the package's trigger does; without the tool Qt reads the package file itself.
    const std::string update = "update-mime-database '" + (data / "mime").string() + "' >/dev/null 2>&1";
    if (std::system("command -v update-mime-database >/dev/null 2>&1") == 0) {
        ASSERT_EQ(std::system(update.c_str()), 0);
    }
    ::setenv("XDG_DATA_DIRS", data.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (temp.path / "home").c_str(), 1);

    writeFile(temp.path / "modul.kvl", std::string(3608, '\0'));
    writeFile(temp.path / "MONITOR.CFG", "KVRLCFG1" + std::string(680, '\0'));
    writeFile(temp.path / "kopia monitora", "KVRLCFG1" + std::string(680, '\0'));
    writeFile(temp.path / "OBCY.CFG", "[ustawienia]\nport=3\n");

    const QMimeDatabase types;
    const auto typeOf = [&](const char* name) {
        return types.mimeTypeForFile(QString::fromStdString((temp.path / name).string())).name().toStdString();
    };
    EXPECT_EQ(typeOf("modul.kvl"), "application/x-kavrel-settings");
    EXPECT_EQ(typeOf("MONITOR.CFG"), "application/x-kavrel-monitor-settings");
    EXPECT_EQ(typeOf("kopia monitora"), "application/x-kavrel-monitor-settings");
    EXPECT_NE(typeOf("OBCY.CFG"), "application/x-kavrel-monitor-settings");
    EXPECT_NE(types.mimeTypeForFile("X.CFG", QMimeDatabase::MatchExtension).name(), "application/x-kavrel-monitor-settings");
}

// Each entry that opens a file says which types it opens, and those are the types above.
TEST(DesktopFiles, EntriesOpenTheirTypes) {
    const std::string types = readWholeFile(kResources + "/mime/kavrel-tools.xml");
    const std::pair<const char*, const char*> entries[] = {{"kavrel-config", "application/x-kavrel-settings"},
                                                           {"kavrel-monitor", "application/x-kavrel-monitor-settings"}};
    for (const auto& [entry, type] : entries) {
        const std::string text = readWholeFile(kResources + "/desktop/" + entry + ".desktop");
        EXPECT_NE(text.find(std::string("\nMimeType=") + type + ";\n"), std::string::npos) << entry;
        EXPECT_NE(text.find(" %f\n"), std::string::npos) << entry;
        EXPECT_NE(types.find(std::string("type=\"") + type + "\""), std::string::npos) << type;
        const std::string component = std::string(entry).replace(6, 1, "_");
        const std::string metainfo = readWholeFile(kResources + "/metainfo/example.ostrevan." + component + ".metainfo.xml");
        EXPECT_NE(metainfo.find(std::string("<launchable type=\"desktop-id\">") + entry + ".desktop<"), std::string::npos)
            << entry;
        EXPECT_NE(metainfo.find(std::string("<mediatype>") + type + "<"), std::string::npos) << entry;
    }
}

} // namespace
