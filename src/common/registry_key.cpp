#include "common/registry_key.h"

#include <charconv>

namespace kavrel {

int RegistryKey::open(std::string_view keyPath) {
    close();
    if (!store_.keyExists(keyPath)) return finish(kRegistryNotFound);
    path_ = keyPath;
    open_ = true;
    return finish(kRegistryOk);
}

void RegistryKey::close() {
    open_ = false;
    path_.clear();
}

int RegistryKey::create(std::string_view keyPath) {
    return finish(store_.createKey(keyPath) ? kRegistryOk : kRegistryRefused);
}

int RegistryKey::readNumber(std::string_view name, std::uint32_t& value) {
    if (!open_) return finish(kRegistryNotOpen);
    const auto stored = store_.read(path_, name);
    if (!stored) return finish(kRegistryNotFound);
    if (const auto* number = std::get_if<std::uint32_t>(&*stored)) {
        value = *number;
        return finish(kRegistryOk);
    }
    // A settings file keeps numbers as decimal text.
    const std::string& text = std::get<std::string>(*stored);
    std::uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return finish(kRegistryWrongType);
    value = parsed;
    return finish(kRegistryOk);
}

int RegistryKey::readString(std::string_view name, std::string& value, std::size_t maxBytes) {
    value.clear();
    if (!open_) return finish(kRegistryNotOpen);
    const auto stored = store_.read(path_, name);
    if (!stored) return finish(kRegistryNotFound);
    const auto* text = std::get_if<std::string>(&*stored);
    if (!text) return finish(kRegistryWrongType);
    const std::size_t room = maxBytes > 0 ? maxBytes - 1 : 0;
    value = text->substr(0, room);
    return finish(kRegistryOk);
}

int RegistryKey::writeNumber(std::string_view name, std::uint32_t value) {
    if (!open_) return finish(kRegistryNotOpen);
    return finish(store_.write(path_, name, value) ? kRegistryOk : kRegistryRefused);
}

int RegistryKey::writeString(std::string_view name, std::string_view value) {
    if (!open_) return finish(kRegistryNotOpen);
    return finish(store_.write(path_, name, std::string(value)) ? kRegistryOk : kRegistryRefused);
}

} // namespace kavrel
