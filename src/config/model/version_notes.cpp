#include "config/model/version_notes.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "common/file_names.h"
#include "common/regular_file.h"
#include "common/replace_file.h"
#include "config/model/write_journal.h"

namespace kavrel::config {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kNoteMax = 16 * 1024;
constexpr std::size_t kVersionsKept = 8;

fs::path notePath(const std::string& folder, const SettingsImage& image) {
    return pathFromUtf8(folder) / "wersje" / settingsHash(image);
}

// A serial link reports the text with its line end shown as blanks: the same version.
std::string trimmed(const std::string& text) { return text.substr(0, text.find_last_not_of(" \t\r\n") + 1); }

} // namespace

bool noteSettingsVersion(const std::string& folder, const SettingsImage& image, const std::string& versionText) {
    if (folder.empty()) return false;   // no backup folder: nothing noted anywhere else
    const std::string version = trimmed(versionText);
    if (version.empty() || version.find('\n') != std::string::npos) return false;
    std::vector<std::string> versions = notedSettingsVersions(folder, image);
    std::erase(versions, version);
    versions.push_back(version);
    if (versions.size() > kVersionsKept) versions.erase(versions.begin());
    std::string text;
    for (const auto& v : versions) text += v + "\n";
    const fs::path path = notePath(folder, image);
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    return replaceFile(path, text, false) == ReplaceResult::Ok;
}

std::vector<std::string> notedSettingsVersions(const std::string& folder, const SettingsImage& image) {
    std::string text;
    std::vector<std::string> versions;
    if (folder.empty() || readRegularFile(notePath(folder, image), kNoteMax, text) != FileRead::Ok) return versions;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (!trimmed(line).empty()) versions.push_back(trimmed(line));
    return versions;
}

} // namespace kavrel::config
