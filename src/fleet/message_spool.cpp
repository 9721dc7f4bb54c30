#include "fleet/message_spool.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace kavrel::fleet {
namespace {

constexpr std::size_t kHeaderSize = 5;
constexpr std::uint32_t kRecordMax = 1u << 20;   // a message far larger than any poll is a broken file
constexpr unsigned char kRetained = 1;
constexpr unsigned char kAcknowledged = 2;

std::uint64_t recordSize(const SpooledMessage& m) { return kHeaderSize + m.topic.size() + 1 + m.payload.size(); }

bool readWhole(int fd, void* into, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(into);
    while (size > 0) {
        const ssize_t n = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool writeWhole(int fd, const void* from, std::size_t size, std::uint64_t offset) {
    const auto* bytes = static_cast<const char*>(from);
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, bytes, size, static_cast<off_t>(offset));
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

} // namespace

MessageSpool::MessageSpool(std::filesystem::path file, std::uint64_t limitBytes) : path_(std::move(file)), limit_(limitBytes) {
    // The lock lives in a file of its own: compaction renames a new spool over the old one,
    // which a lock on the spool itself would not survive.
    lockFd_ = ::open((path_.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd_ < 0) return;
    if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
        lockedByOther_ = errno == EWOULDBLOCK;
        return;
    }
    reopen();
    if (fd_ < 0) return;
    // What an earlier run left: acknowledged records at the head are passed over, and a torn
    // last record (a crash while appending) is cut off.
    SpooledMessage m;
    std::uint64_t at = 0, next = 0;
    bool acknowledged = false;
    bool counting = false;
    while (readAt(at, m, next, &acknowledged)) {
        if (!acknowledged || counting) {
            if (!counting) head_ = at;
            counting = true;
            ++count_;
        }
        at = next;
    }
    if (!counting) head_ = at;
    if (::ftruncate(fd_, static_cast<off_t>(at)) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
    end_ = at;
    cursorOffset_ = head_;
    if (count_ == 0) popFront();   // empties the file
}

MessageSpool::~MessageSpool() {
    if (fd_ >= 0) ::close(fd_);
    if (lockFd_ >= 0) ::close(lockFd_);   // and with it the lock
}

std::unique_ptr<MessageSpool> openOwnSpool(const std::filesystem::path& file, std::uint64_t limitBytes) {
    constexpr int kNames = 16;
    auto spool = std::make_unique<MessageSpool>(file, limitBytes);
    for (int n = 2; n <= kNames && spool->lockedByOther(); ++n) {
        std::filesystem::path other = file;
        other.replace_filename(file.stem().string() + "-" + std::to_string(n) + file.extension().string());
        spool = std::make_unique<MessageSpool>(other, limitBytes);
    }
    return spool;
}

void MessageSpool::reopen() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

bool MessageSpool::readAt(std::uint64_t offset, SpooledMessage& message, std::uint64_t& next, bool* acknowledged) {
    std::array<unsigned char, kHeaderSize> header{};
    if (!readWhole(fd_, header.data(), header.size(), offset)) return false;
    const std::uint32_t length = header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
    if (length == 0 || length > kRecordMax) return false;
    std::string body(length, '\0');
    if (!readWhole(fd_, body.data(), length, offset + kHeaderSize)) return false;
    const auto nul = body.find('\0');
    if (nul == std::string::npos) return false;
    message.retained = header[4] & kRetained;
    if (acknowledged) *acknowledged = header[4] & kAcknowledged;
    message.topic = body.substr(0, nul);
    message.payload = body.substr(nul + 1);
    next = offset + kHeaderSize + length;
    return true;
}

bool MessageSpool::append(const SpooledMessage& message) {
    if (fd_ < 0) return false;
    const std::uint64_t size = recordSize(message);
    if (size - kHeaderSize > kRecordMax) return false;
    while (count_ > 0 && bytes() + size > limit_) {
        popFront();
        ++dropped_;
    }
    const auto length = static_cast<std::uint32_t>(size - kHeaderSize);
    std::string record = {static_cast<char>(length), static_cast<char>(length >> 8), static_cast<char>(length >> 16),
                          static_cast<char>(length >> 24), static_cast<char>(message.retained ? kRetained : 0)};
    record += message.topic;
    record += '\0';
    record += message.payload;
    if (!writeWhole(fd_, record.data(), record.size(), end_)) {
        // Take back a partial record, so that the file stays readable.
        [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(end_));
        return false;
    }
    end_ += size;
    ++count_;
    return true;
}

bool MessageSpool::peek(std::size_t index, SpooledMessage& message) {
    if (fd_ < 0 || index >= count_) return false;
    if (index < cursorIndex_ || cursorOffset_ < head_) {
        cursorIndex_ = 0;
        cursorOffset_ = head_;
    }
    std::uint64_t next = 0;
    while (cursorIndex_ < index) {
        if (!readAt(cursorOffset_, message, next)) return false;
        cursorOffset_ = next;
        ++cursorIndex_;
    }
    return readAt(cursorOffset_, message, next);
}

void MessageSpool::popFront() {
    if (fd_ < 0) return;
    if (count_ > 0) {
        SpooledMessage taken;
        std::uint64_t next = 0;
        if (!readAt(head_, taken, next)) next = end_;
        const unsigned char flags = static_cast<unsigned char>((taken.retained ? kRetained : 0) | kAcknowledged);
        writeWhole(fd_, &flags, 1, head_ + kHeaderSize - 1);
        head_ = next;
        --count_;
        if (cursorIndex_ > 0) --cursorIndex_;
        else cursorOffset_ = head_;
    }
    if (count_ == 0) {
        if (::ftruncate(fd_, 0) == 0) head_ = end_ = 0;
        cursorOffset_ = head_;
        cursorIndex_ = 0;
    } else if (head_ > limit_ / 2 && head_ > end_ / 2) {
        compact();
    }
}

void MessageSpool::compact() {
    const std::filesystem::path fresh = path_.string() + ".new";
    const int out = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return;
    std::array<char, 65536> chunk{};
    bool ok = true;
    for (std::uint64_t at = head_; ok && at < end_;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), end_ - at));
        ok = readWhole(fd_, chunk.data(), n, at) && writeWhole(out, chunk.data(), n, at - head_);
        at += n;
    }
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    std::error_code error;
    if (ok) std::filesystem::rename(fresh, path_, error);
    if (!ok || error) {
        std::filesystem::remove(fresh, error);
        return;
    }
    reopen();
    end_ -= head_;
    cursorOffset_ -= std::min(cursorOffset_, head_);
    head_ = 0;
}

} // namespace kavrel::fleet
