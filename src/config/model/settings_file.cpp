#include "config/model/settings_file.h"

#include <algorithm>

#include "common/regular_file.h"
#include "common/file_names.h"
#include "common/replace_file.h"
#include "common/win1250.h"

namespace kavrel::config {
namespace {

// File names are UTF-8; the status texts are Windows-1250 (W converts).
#ifdef _WIN32
constexpr const char* kSeparators = "/\\:";
#else
constexpr const char* kSeparators = "/";
#endif

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}


} // namespace

FileResult loadSettingsFile(const std::string& path, SettingsImage& image, std::size_t* fileSize) {
    // Only a regular file that reads without error replaces the record: a folder read as
    // zeros, written to a module, would wipe it.
    std::string content;
    if (readRegularFile(pathFromUtf8(path), image.bytes().size(), content) != FileRead::Ok) return FileResult::OpenFailed;
    image.clear();
    if (fileSize) *fileSize = content.size();
    std::copy(content.begin(), content.end(), image.bytes().begin());
    return FileResult::Ok;
}

// Through a temporary file beside the target, so that a failed save leaves the old file
// as it was.
FileResult saveSettingsFile(const std::string& path, const SettingsImage& image) {
    const auto bytes = image.bytes();
    return toFileResult(
        replaceFile(pathFromUtf8(path), std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

std::string saveWriteFailedText() { return W("Błąd zapisu pliku, poprzedni plik pozostał bez zmian"); }

FileResult loadSettingsFromFile(const std::string& path, SettingsImage& image, OperationObserver& observer) {
    const FileResult result = loadSettingsFile(path, image);
    observer.status(result == FileResult::Ok ? W("Ustawienia odczytane z pliku:\r\n") + W(baseName(path))
                                             : W("Błąd otwarcia pliku do odczytu"));
    return result;
}

FileResult saveSettingsToFile(const std::string& path, const SettingsImage& image, OperationObserver& observer) {
    const FileResult result = saveSettingsFile(path, image);
    switch (result) {
    case FileResult::Ok: observer.status(W("Ustawienia zapisane do pliku:\r\n") + W(baseName(path))); break;
    case FileResult::OpenFailed:
    case FileResult::WrongFormat: observer.status(W("Błąd otwarcia pliku do zapisu")); break;
    case FileResult::WriteFailed: observer.status(saveWriteFailedText()); break;
    }
    return result;
}

FileResult loadStartupFile(const std::string& name, SettingsImage& image, OperationObserver& observer) {
    const FileResult result = loadSettingsFile(name, image);
    observer.status(result == FileResult::Ok ? W("Ustawienia odczytane z pliku:\r\n") + W(name)
                                             : W("Błąd otwarcia pliku:\r\n") + W(name));
    return result;
}

} // namespace kavrel::config
