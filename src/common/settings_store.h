// The per-user settings store behind RegistryKey: keys named by a backslash path
// ("Software\Ostrevan\Kavrel") holding 32-bit numbers and strings. The front ends
// put it over QSettings; tests use MemoryStore.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kavrel {

using StoreValue = std::variant<std::uint32_t, std::string>;

// A stored value read as a number: the number itself, or the decimal text a settings file
// gives numbers back as (the next run of a program reads what the last one wrote as text).
// Nothing for any other text.
std::optional<std::uint32_t> storedNumber(const StoreValue& value);

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual bool keyExists(std::string_view keyPath) const = 0;
    // Makes the key exist; false when the store refuses.
    virtual bool createKey(std::string_view keyPath) = 0;
    virtual std::optional<StoreValue> read(std::string_view keyPath, std::string_view name) const = 0;
    virtual bool write(std::string_view keyPath, std::string_view name, const StoreValue& value) = 0;
};

// Keeps everything in memory; for tests and for runs that must not touch the user's settings.
class MemoryStore final : public SettingsStore {
public:
    bool keyExists(std::string_view keyPath) const override;
    bool createKey(std::string_view keyPath) override;
    std::optional<StoreValue> read(std::string_view keyPath, std::string_view name) const override;
    bool write(std::string_view keyPath, std::string_view name, const StoreValue& value) override;

    // Makes every later createKey and write fail, as a read-only store would.
    void setReadOnly(bool readOnly) { readOnly_ = readOnly; }

private:
    std::map<std::string, std::map<std::string, StoreValue, std::less<>>, std::less<>> keys_;
    bool readOnly_ = false;
};

} // namespace kavrel
