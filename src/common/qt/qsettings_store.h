// The per-user settings store over QSettings. A key path "Software\<Organisation>\<Application>"
// (optionally followed by "\<group>...") maps to QSettings(organisation, application) and
// its group, so that on Windows the values land exactly in the registry key of that
// path and elsewhere in the platform's settings file. Strings are stored as Unicode.
#pragma once

#include "common/settings_store.h"

namespace kavrel {

class QSettingsStore final : public SettingsStore {
public:
    bool keyExists(std::string_view keyPath) const override;
    bool createKey(std::string_view keyPath) override;
    std::optional<StoreValue> read(std::string_view keyPath, std::string_view name) const override;
    bool write(std::string_view keyPath, std::string_view name, const StoreValue& value) override;
};

} // namespace kavrel
