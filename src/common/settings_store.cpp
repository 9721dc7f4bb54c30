#include "common/settings_store.h"

#include <charconv>

namespace kavrel {

std::optional<std::uint32_t> storedNumber(const StoreValue& value) {
    if (const auto* number = std::get_if<std::uint32_t>(&value)) return *number;
    const std::string& text = std::get<std::string>(value);
    std::uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return parsed;
}

bool MemoryStore::keyExists(std::string_view keyPath) const { return keys_.find(keyPath) != keys_.end(); }

bool MemoryStore::createKey(std::string_view keyPath) {
    if (readOnly_) return false;
    keys_.try_emplace(std::string(keyPath));
    return true;
}

std::optional<StoreValue> MemoryStore::read(std::string_view keyPath, std::string_view name) const {
    const auto key = keys_.find(keyPath);
    if (key == keys_.end()) return std::nullopt;
    const auto value = key->second.find(name);
    if (value == key->second.end()) return std::nullopt;
    return value->second;
}

bool MemoryStore::write(std::string_view keyPath, std::string_view name, const StoreValue& value) {
    if (readOnly_) return false;
    const auto key = keys_.find(keyPath);
    if (key == keys_.end()) return false;
    key->second.insert_or_assign(std::string(name), value);
    return true;
}

} // namespace kavrel
