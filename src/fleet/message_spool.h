// The MQTT messages not yet acknowledged by the broker, kept in a file in the order they
// were made: appended at the end, taken from the head once acknowledged. A broker that is
// away for hours costs disk, not memory, and nothing is lost or reordered. The file is
// bounded: when a new message would take it past its limit, the oldest messages go first
// (counted and reported), so that a long outage keeps the most recent hours.
//
// Format: records of [4-byte little-endian length][1 byte flags][topic][NUL][payload]; flag
// bit 0 retained, bit 1 acknowledged (set in place, so that a restart sends no message
// twice). A spool left by an earlier run (the broker away when it ended) is sent first.
//
// A spool belongs to one process at a time: it holds a lock on FILE.lock while open, so
// that two pollers on one database never append to, or take from, each other's file; the
// second takes the next free name (openOwnSpool).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace kavrel::fleet {

struct SpooledMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

class MessageSpool {
public:
    static constexpr std::uint64_t kDefaultLimitBytes = 64ull << 20;   // 64 MiB, some days of 200 modules

    MessageSpool(std::filesystem::path file, std::uint64_t limitBytes = kDefaultLimitBytes);
    ~MessageSpool();
    MessageSpool(const MessageSpool&) = delete;
    MessageSpool& operator=(const MessageSpool&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // Another process holds this spool (the spool is then not open).
    bool lockedByOther() const { return lockedByOther_; }
    const std::filesystem::path& path() const { return path_; }

    bool append(const SpooledMessage& message);
    // The message `index` places after the head (0: the head); false when there is none.
    // Reading walks on from the last one read, so sending in order costs one read each.
    bool peek(std::size_t index, SpooledMessage& message);
    // Removes the head message (acknowledged). The file is emptied once all are gone.
    void popFront();
    std::size_t count() const { return count_; }
    std::uint64_t bytes() const { return end_ - head_; }
    long long dropped() const { return dropped_; }

private:
    // Reads the record at offset; `acknowledged` tells whether it was already taken.
    bool readAt(std::uint64_t offset, SpooledMessage& message, std::uint64_t& next, bool* acknowledged = nullptr);
    void reopen();
    // Rewrites the file without its consumed head.
    void compact();

    std::filesystem::path path_;
    std::uint64_t limit_;
    int lockFd_ = -1;
    bool lockedByOther_ = false;
    int fd_ = -1;
    std::uint64_t head_ = 0;
    std::uint64_t end_ = 0;
    std::size_t count_ = 0;
    long long dropped_ = 0;
    // Where peek(cursorIndex_) starts reading.
    std::size_t cursorIndex_ = 0;
    std::uint64_t cursorOffset_ = 0;
};

// The spool at `file`, or when another process holds it, at the first free of FILE-2 ..
// FILE-16 (before the extension: "fleet.db-mqtt-2.spool"). Check isOpen().
std::unique_ptr<MessageSpool> openOwnSpool(const std::filesystem::path& file, std::uint64_t limitBytes);

} // namespace kavrel::fleet
