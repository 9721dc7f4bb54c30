#include "config/model/version_notes.h"

#include <filesystem>
#include <system_error>

#include "common/regular_file.h"
#include "config/model/settings_file.h"
#include "config/model/write_journal.h"

namespace kavrel::config {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kVersionTextMax = 1024;

fs::path notePath(const std::string& folder, const SettingsImage& image) {
    return fs::path(folder) / "wersje" / settingsHash(image);
}

} // namespace

bool noteSettingsVersion(const std::string& folder, const SettingsImage& image, const std::string& versionText) {
    if (versionText.empty()) return false;
    const fs::path path = notePath(folder, image);
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const auto* data = reinterpret_cast<const std::uint8_t*>(versionText.data());
    return replaceFile(path.string(), {data, std::min(versionText.size(), kVersionTextMax)}, false) ==
           SettingsFileResult::Ok;
}

std::optional<std::string> notedSettingsVersion(const std::string& folder, const SettingsImage& image) {
    std::string text;
    if (readRegularFile(notePath(folder, image), kVersionTextMax, text) != FileRead::Ok || text.empty()) return std::nullopt;
    return text;
}

} // namespace kavrel::config
