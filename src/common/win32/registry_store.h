// The per-user settings store over the Windows registry: a key path
// "Software\Ostrevan\Kavrel" is that key under HKEY_CURRENT_USER, numbers are REG_DWORD
// values and strings REG_SZ values, the same values QSettings' native format writes, so
// that kavrel.exe and the windows share one saved connection.
#pragma once

#include "common/settings_store.h"

namespace kavrel {

class RegistryStore final : public SettingsStore {
public:
    bool keyExists(std::string_view keyPath) const override;
    bool createKey(std::string_view keyPath) override;
    std::optional<StoreValue> read(std::string_view keyPath, std::string_view name) const override;
    bool write(std::string_view keyPath, std::string_view name, const StoreValue& value) override;
};

} // namespace kavrel
