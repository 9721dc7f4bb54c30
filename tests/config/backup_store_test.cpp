#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

#include "common/file_names.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/write_journal.h"

using namespace kavrel;
using namespace kavrel::config;
namespace fs = std::filesystem;

namespace {

// Sets (or with nullptr removes) a variable as the system holds it: in UTF-16 on Windows.
void setVariable(const char* name, const char* utf8Value) {
#ifdef _WIN32
    const std::wstring wideName = pathFromUtf8(name).native();
    ::SetEnvironmentVariableW(wideName.c_str(), utf8Value ? pathFromUtf8(utf8Value).c_str() : nullptr);
#else
    if (utf8Value) ::setenv(name, utf8Value, 1);
    else ::unsetenv(name);
#endif
}

// Restores a variable the test changes.
struct SavedVariable {
    const char* name;
    std::string value = environmentText(name);
    bool wasSet = !value.empty();
    explicit SavedVariable(const char* n) : name(n) {}
    ~SavedVariable() { setVariable(name, wasSet ? value.c_str() : nullptr); }
};

} // namespace

// The profile of a user named Michał: the backup folder is under his own data folder, spelled
// whole, where it once came in the ANSI code page and ended the program.
TEST(BackupStore, FolderOfAPolishProfile) {
    const SavedVariable backups(kBackupFolderVariable);
    setVariable(kBackupFolderVariable, nullptr);
#ifdef _WIN32
    const SavedVariable appData("APPDATA");
    setVariable("APPDATA", "C:\\Użytkownicy\\Michał\\AppData\\Roaming");
    EXPECT_EQ(backupFolder(), "C:\\Użytkownicy\\Michał\\AppData\\Roaming\\Ostrevan\\Kavrel\\kopie");
#else
    const SavedVariable data("XDG_DATA_HOME");
    setVariable("XDG_DATA_HOME", "/home/michał/.dane");
    EXPECT_EQ(backupFolder(), "/home/michał/.dane/Ostrevan/Kavrel/kopie");
#endif
    setVariable(kBackupFolderVariable, "Łukasz/kopie");
    EXPECT_EQ(backupFolder(), "Łukasz/kopie");
}

#ifndef _WIN32
// No user folder in the environment (a service, `env -i`): no folder at all, never the root's
// ".local/share" nor the current folder, for the backups and the journals alike.
TEST(BackupStore, NoFolderWithoutAHome) {
    const SavedVariable backups(kBackupFolderVariable), data("XDG_DATA_HOME"), home("HOME");
    setVariable(kBackupFolderVariable, nullptr);
    setVariable("XDG_DATA_HOME", nullptr);
    for (const char* value : {static_cast<const char*>(nullptr), "", "michał"}) {
        setVariable("HOME", value);
        EXPECT_EQ(backupFolder(), "") << (value ? value : "unset");
    }
    EXPECT_EQ(noBackupFolderText(), W("Nie wiadomo, gdzie przechowywać kopie zapasowe i dzienniki zapisu: zmienna HOME "
                                      "nie jest ustawiona (albo nie jest ścieżką bezwzględną). Ustaw ją albo KAVREL_BACKUP_DIR."));
    EXPECT_FALSE(saveBackup("", SettingsImage{}, "Kavrel V3.6EL", "COM3", {2026, 12, 8, 14, 5, 9}).saved);
    EXPECT_EQ(journalPath("", "COM3"), "");
    setVariable("XDG_DATA_HOME", "/dane");
    EXPECT_EQ(backupFolder(), "/dane/Ostrevan/Kavrel/kopie");
}
#endif

// A backup saved into a folder with Polish letters is there under its name and listed back.
TEST(BackupStore, SaveAndListInAPolishFolder) {
    const fs::path base = fs::temp_directory_path() / pathFromUtf8("kavrel-kopie-" + std::to_string(processId()));
    fs::remove_all(base);
    const std::string folder = pathToUtf8(base / pathFromUtf8("Użytkownicy") / pathFromUtf8("Michał") / "kopie");
    const LocalDateTime time{2026, 12, 8, 14, 5, 9, 2};
    SettingsImage image;

    const BackupResult first = saveBackup(folder, image, "Kavrel V3.6EL", "COM3", time);
    ASSERT_TRUE(first.saved) << first.path;
    EXPECT_EQ(first.path, folder + static_cast<char>(fs::path::preferred_separator) + "Kavrel V3.6EL COM3 2026-12-08 14.05.09.kvl");
    EXPECT_TRUE(fs::is_regular_file(pathFromUtf8(first.path)));
    const BackupResult second = saveBackup(folder, image, "Kavrel V3.6EL", "COM3", time);
    ASSERT_TRUE(second.saved);
    EXPECT_NE(second.path.find("14.05.09 (2).kvl"), std::string::npos) << second.path;

    std::error_code problem;
    const std::vector<BackupEntry> entries = listBackups(folder, &problem);
    EXPECT_FALSE(problem);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].path, second.path);
    EXPECT_EQ(entries[1].path, first.path);
    EXPECT_EQ(entries[1].fileName, "Kavrel V3.6EL COM3 2026-12-08 14.05.09.kvl");
    fs::remove_all(base);
}
