// One writer at a time per archive file. An update holds this lock from before it reads the
// archive's end until it has committed its last batch, so that a second update of the same
// file (a cron job whose slow GPRS run outlasts its period, the window beside a script)
// cannot search from the same end and append the same records again.
//
// The lock is a file beside the archive ("NAME-lock", like SQLite's "-wal" and "-shm"),
// locked by the operating system: a killed program leaves it unlocked. The file itself
// stays (removing it would race with a program about to lock it). SQLite's own locks on the
// archive are left alone: a lock on the archive file would be dropped, on POSIX systems, with
// any descriptor of that file closed by this process.
#pragma once

#include <filesystem>
#include <string>

namespace kavrel::logger::archive {

class WriterLock {
public:
    enum class Result { Locked, Busy, Failed };

    WriterLock() = default;
    ~WriterLock() { release(); }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;

    // Takes the lock of the archive `file` without waiting; Busy while another program (or
    // another writer of this one) holds it, Failed with error() when the lock file cannot be
    // made.
    Result acquire(const std::filesystem::path& file);
    void release();
    bool held() const;
    const std::string& error() const { return error_; }

    static std::filesystem::path lockFileOf(const std::filesystem::path& file);

private:
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
    std::string error_;
};

} // namespace kavrel::logger::archive
