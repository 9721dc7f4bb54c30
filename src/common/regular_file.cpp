#include "common/regular_file.h"

#ifdef _WIN32
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace kavrel {

#ifdef _WIN32

FileRead readRegularFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return FileRead::NotOpened;
    if (!std::filesystem::is_regular_file(status)) return FileRead::NotRegular;
    std::ifstream in(path, std::ios::binary);
    if (!in) return FileRead::NotOpened;
    bytes.resize(limit);
    in.read(bytes.data(), static_cast<std::streamsize>(limit));
    if (in.bad()) {
        bytes.clear();
        return FileRead::ReadFailed;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return FileRead::Ok;
}

#else

FileRead readRegularFile(const std::filesystem::path& path, std::size_t limit, std::string& bytes) {
    bytes.clear();
    // Non-blocking, so that a FIFO or a serial device opens at once instead of waiting;
    // what it is decides before anything is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return FileRead::NotOpened;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return FileRead::NotRegular;
    }
    bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd, bytes.data() + got, limit - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            bytes.clear();
            return FileRead::ReadFailed;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    bytes.resize(got);
    return FileRead::Ok;
}

#endif

bool mayWriteRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return status.type() == std::filesystem::file_type::not_found || std::filesystem::is_regular_file(status);
}

} // namespace kavrel
