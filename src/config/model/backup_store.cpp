#include "config/model/backup_store.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "common/file_names.h"
#include "common/win1250.h"
#include "config/model/settings_file.h"

namespace kavrel::config {
namespace {

namespace fs = std::filesystem;

std::string environment(const char* name) { return environmentText(name); }

// Characters no file system of the supported platforms takes in a name, and controls.
bool unsafeInName(unsigned char c) {
    return c < 0x20 || c == 0x7F || std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
}

std::string safeForName(const std::string& utf8) {
    std::string out;
    for (const char c : utf8) out += unsafeInName(static_cast<unsigned char>(c)) ? '_' : c;
    // Leading and trailing blanks and dots make names that some systems refuse or hide.
    const auto first = out.find_first_not_of(" .");
    const auto last = out.find_last_not_of(" .");
    return first == std::string::npos ? std::string() : out.substr(first, last - first + 1);
}

// A version text longer than this (a module that reports a long banner) is cut, so that
// names stay far below the 255 bytes file systems allow; a hash of the whole text keeps the
// names of two such versions apart.
constexpr std::size_t kVersionNameMax = 64;
constexpr std::size_t kVersionKeep = 48;

// The first `keep` bytes of a UTF-8 text, never ending inside a character.
std::string utf8Prefix(const std::string& text, std::size_t keep) {
    if (text.size() <= keep) return text;
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
    return text.substr(0, keep);
}

std::string shortenedVersion(const std::string& version) {
    if (version.size() <= kVersionNameMax) return version;
    std::uint32_t hash = 2166136261u;   // FNV-1a
    for (const char c : version) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    char tag[16];
    std::snprintf(tag, sizeof tag, "~%08x", static_cast<unsigned>(hash));
    std::string kept = utf8Prefix(version, kVersionKeep);
    kept.erase(kept.find_last_not_of(" .") + 1);
    return kept + tag;
}

std::string stamp(const LocalDateTime& t, const char* format) {
    char text[32];
    std::snprintf(text, sizeof text, format, t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

// "2026-12-08" and "14.05.09" as written by backupFileName.
bool parseStamp(const std::string& date, const std::string& time, LocalDateTime& out) {
    char tail = 0;
    if (date.size() != 10 || time.size() != 8) return false;
    if (std::sscanf(date.c_str(), "%4d-%2d-%2d%c", &out.year, &out.month, &out.day, &tail) != 3) return false;
    if (std::sscanf(time.c_str(), "%2d.%2d.%2d%c", &out.hour, &out.minute, &out.second, &tail) != 3) return false;
    return out.month >= 1 && out.month <= 12 && out.day >= 1 && out.day <= 31 && out.hour <= 23 && out.minute <= 59 &&
           out.second <= 60;
}

// "<version> <connection> <date> <time>[ (n)].kvl", read from the right: the version may
// hold blanks, the other parts do not.
bool parseName(const std::string& name, BackupEntry& entry) {
    const std::string suffix = std::string(".") + kSettingsFileExtension;
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return false;
    std::string stem = name.substr(0, name.size() - suffix.size());
    if (stem.size() > 4 && stem.back() == ')') {
        const auto open = stem.rfind(" (");
        if (open != std::string::npos) {
            entry.copy = std::atoi(stem.c_str() + open + 2);
            stem.erase(open);
        }
    }
    std::vector<std::string> words;
    std::size_t end = stem.size();
    for (int i = 0; i < 3; ++i) {
        const auto blank = stem.rfind(' ', end - 1);
        if (blank == std::string::npos || blank == 0) return false;
        words.push_back(stem.substr(blank + 1, end - blank - 1));
        end = blank;
    }
    if (!parseStamp(words[1], words[0], entry.time)) return false;
    entry.connection = words[2];
    entry.version = stem.substr(0, end);
    return !entry.version.empty();
}

} // namespace

std::string backupFolder() {
    if (std::string folder = environment(kBackupFolderVariable); !folder.empty()) return folder;
#if defined(_WIN32)
    std::string base = environment("APPDATA");
    if (base.empty()) {
        const std::string profile = environment("USERPROFILE");
        if (profile.empty()) return {};
        base = profile + "\\AppData\\Roaming";
    }
    return base + "\\Ostrevan\\Kavrel\\kopie";
#else
    const std::string home = environment("HOME");
    const bool homeKnown = !home.empty() && home[0] == '/';
#if defined(__APPLE__)
    return homeKnown ? home + "/Library/Application Support/Ostrevan/Kavrel/kopie" : std::string();
#else
    std::string base = environment("XDG_DATA_HOME");
    if (base.empty() || base[0] != '/') {
        if (!homeKnown) return {};
        base = home + "/.local/share";
    }
    return base + "/Ostrevan/Kavrel/kopie";
#endif
#endif
}

std::string noBackupFolderText() {
#if defined(_WIN32)
    const char* why = "zmienne APPDATA i USERPROFILE nie są ustawione. Ustaw jedną z nich albo ";
#else
    const char* why = "zmienna HOME nie jest ustawiona (albo nie jest ścieżką bezwzględną). Ustaw ją albo ";
#endif
    return W(std::string("Nie wiadomo, gdzie przechowywać kopie zapasowe i dzienniki zapisu: ") + why +
             kBackupFolderVariable + ".");
}

std::string connectionTag(bool tcp, int comPort, const std::string& address, int tcpPort) {
    if (!tcp) return "COM" + std::to_string(comPort);
    std::string tag = safeForName(address);
    std::replace(tag.begin(), tag.end(), ' ', '_');
    if (tag.empty()) tag = "TCP";
    return tag + "_" + std::to_string(tcpPort);
}

std::string backupFileName(const std::string& versionText, const std::string& connection, const LocalDateTime& time) {
    std::string version = safeForName(cp1250::toUtf8(versionText));
    if (version.empty()) version = "Kavrel";
    return shortenedVersion(version) + " " + connection + " " + stamp(time, "%04d-%02d-%02d %02d.%02d.%02d") + "." +
           kSettingsFileExtension;
}

BackupResult saveBackup(const std::string& folder, const SettingsImage& image, const std::string& versionText,
                        const std::string& connection, const LocalDateTime& time) {
    BackupResult result;
    if (folder.empty()) return result;   // no user folder: never the current or the root folder
    const std::string name = backupFileName(versionText, connection, time);
    const fs::path folderPath = pathFromUtf8(folder);
    result.path = pathToUtf8(folderPath / pathFromUtf8(name));
    std::error_code error;
    fs::create_directories(folderPath, error);
    if (error) return result;
    const std::string stem = name.substr(0, name.size() - 1 - std::string(kSettingsFileExtension).size());
    for (int copy = 2; fs::exists(pathFromUtf8(result.path), error) && copy < 1000; ++copy)
        result.path = pathToUtf8(folderPath / pathFromUtf8(stem + " (" + std::to_string(copy) + ")." + kSettingsFileExtension));
    result.saved = saveSettingsFile(result.path, image) == FileResult::Ok;
    return result;
}

std::vector<BackupEntry> listBackups(const std::string& folder, std::error_code* problem) {
    std::vector<BackupEntry> entries;
    std::error_code error;
    fs::directory_iterator it(pathFromUtf8(folder), error);
    // An absent folder only means that no backup was taken yet.
    if (error == std::errc::no_such_file_or_directory) error.clear();
    for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        BackupEntry entry;
        entry.fileName = pathToUtf8(it->path().filename());
        entry.path = pathToUtf8(it->path());
        if (parseName(entry.fileName, entry)) entries.push_back(std::move(entry));
    }
    if (problem) *problem = error;
    const auto key = [](const BackupEntry& e) {
        return std::tie(e.time.year, e.time.month, e.time.day, e.time.hour, e.time.minute, e.time.second, e.copy);
    };
    std::sort(entries.begin(), entries.end(), [&](const BackupEntry& a, const BackupEntry& b) {
        if (key(a) != key(b)) return key(a) > key(b);
        return a.fileName > b.fileName;
    });
    return entries;
}

std::string backupTimeText(const LocalDateTime& time) { return stamp(time, "%04d-%02d-%02d %02d:%02d:%02d"); }

} // namespace kavrel::config
