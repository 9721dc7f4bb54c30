#include "common/win32/registry_store.h"

#include <windows.h>

#include <vector>

#include "common/win1250.h"

namespace kavrel {
namespace {

// Key paths and value names are Windows-1250 texts in the core; the registry takes UTF-16.
std::wstring wide(std::string_view cp1250Text) {
    const std::u16string text = cp1250::toUtf16(cp1250Text);
    return std::wstring(text.begin(), text.end());
}

// An open key that closes itself.
class Key {
public:
    Key(std::string_view keyPath, REGSAM access, bool create) {
        const std::wstring path = wide(keyPath);
        const LONG result = create ? ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, access, nullptr,
                                                       &handle_, nullptr)
                                   : ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &handle_);
        if (result != ERROR_SUCCESS) handle_ = nullptr;
    }
    ~Key() {
        if (handle_) ::RegCloseKey(handle_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY handle() const { return handle_; }

private:
    HKEY handle_ = nullptr;
};

} // namespace

bool RegistryStore::keyExists(std::string_view keyPath) const { return Key(keyPath, KEY_READ, false).handle() != nullptr; }

bool RegistryStore::createKey(std::string_view keyPath) {
    return Key(keyPath, KEY_READ | KEY_WRITE, true).handle() != nullptr;
}

std::optional<StoreValue> RegistryStore::read(std::string_view keyPath, std::string_view name) const {
    const Key key(keyPath, KEY_READ, false);
    if (!key.handle()) return std::nullopt;
    const std::wstring valueName = wide(name);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(key.handle(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    if (::RegQueryValueExW(key.handle(), valueName.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    switch (type) {
    case REG_DWORD:
        if (size < sizeof(DWORD)) return std::nullopt;
        return StoreValue{static_cast<std::uint32_t>(data[0] | data[1] << 8 | data[2] << 16 |
                                                     static_cast<std::uint32_t>(data[3]) << 24)};
    case REG_SZ:
    case REG_EXPAND_SZ: {
        // A stored string need not end with its terminator; the extra room above holds one.
        std::u16string text(size / sizeof(char16_t), u'\0');
        for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
        if (const auto end = text.find(u'\0'); end != std::u16string::npos) text.resize(end);
        return StoreValue{cp1250::fromUtf16(text)};
    }
    default:
        return std::nullopt;
    }
}

bool RegistryStore::write(std::string_view keyPath, std::string_view name, const StoreValue& value) {
    const Key key(keyPath, KEY_WRITE, false);
    if (!key.handle()) return false;
    const std::wstring valueName = wide(name);
    if (const auto* number = std::get_if<std::uint32_t>(&value)) {
        const DWORD dword = *number;
        return ::RegSetValueExW(key.handle(), valueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dword),
                                sizeof dword) == ERROR_SUCCESS;
    }
    const std::wstring text = wide(std::get<std::string>(value));
    return ::RegSetValueExW(key.handle(), valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

} // namespace kavrel
