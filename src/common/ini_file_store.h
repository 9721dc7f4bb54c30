// Settings kept in INI files of one folder instead of the registry, for a portable copy of the
// programs that carries its settings with it. A key path "Software\Ostrevan\Kavrel-Monitor"
// is the section of that name in the file its third part names ("Kavrel-Monitor.ini"), so
// that each program rewrites its own file and a text editor shows what is kept:
//
//     [Software\Ostrevan\Kavrel-Monitor]
//     Port_COM=dword:7
//     Adres_IP=sz:192.168.1.10
//
// Texts are UTF-8 in the file (Windows-1250 in the core), with \\, \r, \n and other control
// bytes escaped. Every write replaces the file whole; a folder that takes no file makes
// createKey and write return false and leaves the file as it was.
#pragma once

#include <filesystem>

#include "common/settings_store.h"

namespace kavrel {

class IniFileStore final : public SettingsStore {
public:
    explicit IniFileStore(std::filesystem::path folder);

    bool keyExists(std::string_view keyPath) const override;
    bool createKey(std::string_view keyPath) override;
    std::optional<StoreValue> read(std::string_view keyPath, std::string_view name) const override;
    bool write(std::string_view keyPath, std::string_view name, const StoreValue& value) override;

    // The file that holds the key; empty for a path of fewer than three parts.
    std::filesystem::path fileFor(std::string_view keyPath) const;

private:
    std::filesystem::path folder_;
};

} // namespace kavrel
