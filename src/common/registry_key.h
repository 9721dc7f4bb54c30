// One open key of the per-user settings, with the last error code, in the shape the
// programs use it: open, create, read and write 32-bit numbers and strings.
// Every operation returns a RegistryResult (Ok = 0; the others carry the platform's error
// numbers); a read or write on a key that is not open fails and does nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/settings_store.h"

namespace kavrel {

enum class [[nodiscard]] RegistryResult : int {
    Ok = 0,
    NotFound = 2,   // no such key or value
    NotOpen = 6,    // the key is not open
    WrongType = 13, // the value holds the other kind
    Refused = 5,    // the store refused to create or write
};

class RegistryKey {
public:
    explicit RegistryKey(SettingsStore& store) : store_(store) {}

    RegistryResult open(std::string_view keyPath);
    void close();
    // Creates the key and closes it again at once.
    RegistryResult create(std::string_view keyPath);
    bool isOpen() const { return open_; }
    RegistryResult lastError() const { return lastError_; }

    RegistryResult readNumber(std::string_view name, std::uint32_t& value);
    // The destination is emptied first; at most maxBytes bytes, the terminator included,
    // as the programs' fixed buffers hold (so at most maxBytes - 1 characters).
    RegistryResult readString(std::string_view name, std::string& value, std::size_t maxBytes);
    RegistryResult writeNumber(std::string_view name, std::uint32_t value);
    RegistryResult writeString(std::string_view name, std::string_view value);

private:
    RegistryResult finish(RegistryResult result) { return lastError_ = result; }

    SettingsStore& store_;
    std::string path_;
    bool open_ = false;
    RegistryResult lastError_ = RegistryResult::Ok;
};

} // namespace kavrel
