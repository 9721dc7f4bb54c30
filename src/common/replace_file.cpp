#include "common/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <atomic>
#include <cerrno>
#include <string>

#include "common/file_names.h"

namespace kavrel {

std::filesystem::path temporaryNameFor(const std::filesystem::path& path) {
    static std::atomic<unsigned> counter{0};
    const std::string name = ".kavrel-" + std::to_string(processId()) + "-" + std::to_string(counter++) + ".tmp";
    return path.parent_path() / name;
}
namespace {


#ifndef _WIN32
bool writeAll(int fd, const char* data, std::size_t size) {
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

} // namespace

#ifdef _WIN32
ReplaceResult replaceFile(const std::filesystem::path& path, std::string_view bytes, bool flush) {
    const std::wstring target = path.wstring();
    const std::wstring temporary = temporaryNameFor(path).wstring();
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return ReplaceResult::NotOpened;
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return ReplaceResult::NotOpened;
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        ok = ::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    if (flush) ok = ::FlushFileBuffers(file) && ok;
    ok = ::CloseHandle(file) && ok;
    if (!ok || !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(temporary.c_str());
        return ReplaceResult::WriteFailed;
    }
    return ReplaceResult::Ok;
}
#else
ReplaceResult replaceFile(const std::filesystem::path& path, std::string_view bytes, bool flush) {
    const std::filesystem::path temporary = temporaryNameFor(path);
    // A replaced file keeps its permissions; a new one gets the usual 0666 less the umask.
    struct stat existing {};
    const bool replacing = ::stat(path.c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) return ReplaceResult::NotOpened;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return ReplaceResult::NotOpened;
    if (replacing) (void)::fchmod(fd, existing.st_mode & 07777);
    bool written = writeAll(fd, bytes.data(), bytes.size());
    if (flush) written = ::fsync(fd) == 0 && written;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return ReplaceResult::WriteFailed;
    }
    return ReplaceResult::Ok;
}
#endif

} // namespace kavrel
