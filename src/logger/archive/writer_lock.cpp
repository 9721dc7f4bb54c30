#include "logger/archive/writer_lock.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif


namespace kavrel::logger::archive {

std::filesystem::path WriterLock::lockFileOf(const std::filesystem::path& file) {
    std::filesystem::path lock = file;
    lock += "-lock";
    return lock;
}

#ifdef _WIN32

// A handle opened without sharing is the lock: a second open fails with a sharing
// violation until the first handle closes (with its process, however it ends).
WriterLock::Result WriterLock::acquire(const std::filesystem::path& file) {
    release();
    const std::wstring name = lockFileOf(file).wstring();
    const HANDLE handle = ::CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return Result::Busy;
        error_ = "błąd systemu " + std::to_string(code);
        return Result::Failed;
    }
    handle_ = handle;
    return Result::Locked;
}

void WriterLock::release() {
    if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

bool WriterLock::held() const { return handle_ != nullptr; }

#else

WriterLock::Result WriterLock::acquire(const std::filesystem::path& file) {
    release();
    const int fd = ::open(lockFileOf(file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error_ = std::strerror(errno);
        return Result::Failed;
    }
    // flock: held by the open file, so a second writer in this same process is refused too.
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int reason = errno;
        ::close(fd);
        if (reason == EWOULDBLOCK) return Result::Busy;
        error_ = std::strerror(reason);
        return Result::Failed;
    }
    fd_ = fd;
    return Result::Locked;
}

void WriterLock::release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool WriterLock::held() const { return fd_ >= 0; }

#endif

} // namespace kavrel::logger::archive
