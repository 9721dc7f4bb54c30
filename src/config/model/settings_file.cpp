#include "config/model/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "common/regular_file.h"
#include "common/file_names.h"
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

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

#ifndef _WIN32
bool writeAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

#endif

// A name in the target's folder that no other save of this process uses; the rename
// stays within one file system that way. It is short whatever the target's name, so a
// target name near the file system's limit still has a temporary beside it.
std::string temporaryNameFor(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return folderOf(path) + ".kvl-" + std::to_string(processId()) + "-" + std::to_string(counter++) + ".tmp";
}

} // namespace

SettingsFileResult loadSettingsFile(const std::string& path, SettingsImage& image) {
    // Only a regular file that reads without error replaces the record: a folder read as
    // zeros, written to a module, would wipe it.
    std::string content;
    if (readRegularFile(pathFromUtf8(path), image.bytes().size(), content) != FileRead::Ok) return SettingsFileResult::OpenFailed;
    image.clear();
    std::copy(content.begin(), content.end(), image.bytes().begin());
    return SettingsFileResult::Ok;
}

#ifdef _WIN32
// Written to a temporary file beside the target, flushed to the disk and then moved over the
// target in one step, so that a failed save leaves the old file as it was.
SettingsFileResult saveSettingsFile(const std::string& path, const SettingsImage& image) {
    const std::wstring target = pathFromUtf8(path).wstring();
    const std::wstring temporary = pathFromUtf8(temporaryNameFor(path)).wstring();
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return SettingsFileResult::OpenFailed;
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return SettingsFileResult::OpenFailed;
    const auto bytes = image.bytes();
    DWORD written = 0;
    bool ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    ok = ::FlushFileBuffers(file) && ok;
    ok = ::CloseHandle(file) && ok;
    if (!ok || !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return SettingsFileResult::WriteFailed;
    }
    return SettingsFileResult::Ok;
}
#else
SettingsFileResult saveSettingsFile(const std::string& path, const SettingsImage& image) {
    const std::string temporary = temporaryNameFor(path);
    // A replaced file keeps its permissions; a new one gets the usual 0666 less the umask.
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) return SettingsFileResult::OpenFailed;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return SettingsFileResult::OpenFailed;
    if (replacing) (void)::fchmod(fd, existing.st_mode & 07777);
    const auto bytes = image.bytes();
    bool written = writeAll(fd, bytes.data(), bytes.size());
    written = ::fsync(fd) == 0 && written;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return SettingsFileResult::WriteFailed;
    }
    return SettingsFileResult::Ok;
}
#endif

std::string saveWriteFailedText() { return W("Błąd zapisu pliku, poprzedni plik pozostał bez zmian"); }

SettingsFileResult loadSettingsFromFile(const std::string& path, SettingsImage& image, OperationObserver& observer) {
    const SettingsFileResult result = loadSettingsFile(path, image);
    observer.status(result == SettingsFileResult::Ok ? W("Ustawienia odczytane z pliku:\r\n") + W(baseName(path))
                                             : W("Błąd otwarcia pliku do odczytu"));
    return result;
}

SettingsFileResult saveSettingsToFile(const std::string& path, const SettingsImage& image, OperationObserver& observer) {
    const SettingsFileResult result = saveSettingsFile(path, image);
    switch (result) {
    case SettingsFileResult::Ok: observer.status(W("Ustawienia zapisane do pliku:\r\n") + W(baseName(path))); break;
    case SettingsFileResult::OpenFailed: observer.status(W("Błąd otwarcia pliku do zapisu")); break;
    case SettingsFileResult::WriteFailed: observer.status(saveWriteFailedText()); break;
    }
    return result;
}

SettingsFileResult loadStartupFile(const std::string& name, SettingsImage& image, OperationObserver& observer) {
    const SettingsFileResult result = loadSettingsFile(name, image);
    observer.status(result == SettingsFileResult::Ok ? W("Ustawienia odczytane z pliku:\r\n") + W(name)
                                             : W("Błąd otwarcia pliku:\r\n") + W(name));
    return result;
}

} // namespace kavrel::config
