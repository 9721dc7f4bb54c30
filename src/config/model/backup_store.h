// The folder of backups: before a write replaces a module's settings, what the module
// held is kept there as a settings file named by the module's version, the connection
// and the time ("Kavrel V3.6EL COM3 2026-12-08 14.05.09.kvl").
#pragma once

#include <string>
#include <system_error>
#include <vector>

#include "common/backup_folder_variable.h"
#include "common/clock.h"
#include "config/model/settings_image.h"

namespace kavrel::config {

using kavrel::kBackupFolderVariable;

// The user's backup folder, the same for the windows and the command-line tool: the
// variable above when set, else "kopie" in the user's data folder of the program
// ($XDG_DATA_HOME or ~/.local/share, then Ostrevan/Kavrel; %APPDATA%\Ostrevan\Kavrel on
// Windows; ~/Library/Application Support/Ostrevan/Kavrel on macOS). Paths here are UTF-8 text,
// whatever the ANSI code page. "" when the environment names no user folder (HOME unset or
// not absolute; on Windows neither APPDATA nor USERPROFILE): the folder would otherwise be
// the file system's root, so nothing is kept (backups, journals, version notes) and
// whatever needs the folder is refused with noBackupFolderText().
std::string backupFolder();
// Why backupFolder() is empty (Windows-1250).
std::string noBackupFolderText();

// "COM3", or the address and port of a TCP link ("192.168.1.10_4001"); always a single
// word that is safe in a file name.
std::string connectionTag(bool tcp, int comPort, const std::string& address, int tcpPort);

// The file name of a backup; the version text (Windows-1250) is made safe for file names
// and, when longer than 64 bytes, cut to its beginning and a hash of the whole text.
std::string backupFileName(const std::string& versionText, const std::string& connection, const LocalDateTime& time);

struct BackupResult {
    bool saved = false;
    std::string path;   // the file written, or the one that could not be
};

// Creates the folder when needed and writes the record through a temporary file, so that
// the folder never holds half a backup. A name that exists already gets " (2)", " (3)"...
BackupResult saveBackup(const std::string& folder, const SettingsImage& image, const std::string& versionText,
                        const std::string& connection, const LocalDateTime& time);

struct BackupEntry {
    std::string path;
    std::string fileName;
    std::string version;     // UTF-8, as in the name
    std::string connection;
    LocalDateTime time;
    int copy = 1;            // " (2)" in the name: the second backup of the same second
};

// The backups in the folder, newest first; files whose names were not made by
// saveBackup are left out. An absent folder has none; a folder that cannot be read (no
// permission, a file in its place) sets `problem`, when given, to the system's reason.
std::vector<BackupEntry> listBackups(const std::string& folder, std::error_code* problem = nullptr);

// "2026-12-08 14:05:09"
std::string backupTimeText(const LocalDateTime& time);

} // namespace kavrel::config
