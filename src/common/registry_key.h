// One open key of the per-user settings, with the last error code, in the shape the
// programs use it: open, create, read and write 32-bit numbers and strings.
// Every operation returns 0 on success; a read or write on a key that is not open
// fails and does nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/settings_store.h"

namespace kavrel {

enum RegistryResult : int {
    kRegistryOk = 0,
    kRegistryNotFound = 2,   // no such key or value
    kRegistryNotOpen = 6,    // the key is not open
    kRegistryWrongType = 13, // the value holds the other kind
    kRegistryRefused = 5,    // the store refused to create or write
};

class RegistryKey {
public:
    explicit RegistryKey(SettingsStore& store) : store_(store) {}

    int open(std::string_view keyPath);
    void close();
    // Creates the key and closes it again at once.
    int create(std::string_view keyPath);
    bool isOpen() const { return open_; }
    int lastError() const { return lastError_; }

    int readNumber(std::string_view name, std::uint32_t& value);
    // The destination is emptied first; at most maxBytes bytes, the terminator included,
    // as the programs' fixed buffers hold (so at most maxBytes - 1 characters).
    int readString(std::string_view name, std::string& value, std::size_t maxBytes);
    int writeNumber(std::string_view name, std::uint32_t value);
    int writeString(std::string_view name, std::string_view value);

private:
    int finish(int result) { return lastError_ = result; }

    SettingsStore& store_;
    std::string path_;
    bool open_ = false;
    int lastError_ = kRegistryOk;
};

} // namespace kavrel
