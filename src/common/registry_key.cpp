#include "common/registry_key.h"

namespace kavrel {

RegistryResult RegistryKey::open(std::string_view keyPath) {
    close();
    if (!store_.keyExists(keyPath)) return finish(RegistryResult::NotFound);
    path_ = keyPath;
    open_ = true;
    return finish(RegistryResult::Ok);
}

void RegistryKey::close() {
    open_ = false;
    path_.clear();
}

RegistryResult RegistryKey::create(std::string_view keyPath) {
    return finish(store_.createKey(keyPath) ? RegistryResult::Ok : RegistryResult::Refused);
}

RegistryResult RegistryKey::readNumber(std::string_view name, std::uint32_t& value) {
    if (!open_) return finish(RegistryResult::NotOpen);
    const auto stored = store_.read(path_, name);
    if (!stored) return finish(RegistryResult::NotFound);
    const auto number = storedNumber(*stored);
    if (!number) return finish(RegistryResult::WrongType);
    value = *number;
    return finish(RegistryResult::Ok);
}

RegistryResult RegistryKey::readString(std::string_view name, std::string& value, std::size_t maxBytes) {
    value.clear();
    if (!open_) return finish(RegistryResult::NotOpen);
    const auto stored = store_.read(path_, name);
    if (!stored) return finish(RegistryResult::NotFound);
    const auto* text = std::get_if<std::string>(&*stored);
    if (!text) return finish(RegistryResult::WrongType);
    const std::size_t room = maxBytes > 0 ? maxBytes - 1 : 0;
    value = text->substr(0, room);
    return finish(RegistryResult::Ok);
}

RegistryResult RegistryKey::writeNumber(std::string_view name, std::uint32_t value) {
    if (!open_) return finish(RegistryResult::NotOpen);
    return finish(store_.write(path_, name, value) ? RegistryResult::Ok : RegistryResult::Refused);
}

RegistryResult RegistryKey::writeString(std::string_view name, std::string_view value) {
    if (!open_) return finish(RegistryResult::NotOpen);
    return finish(store_.write(path_, name, std::string(value)) ? RegistryResult::Ok : RegistryResult::Refused);
}

} // namespace kavrel
