// The logger's own per-user settings under "Software\Ostrevan\Kavrel-Logger": the serial
// port, the kept (unused) serial speed, the fixed-speed and TCP choices, the module's
// address and TCP port, and the CSV separator.
#pragma once

#include <cstdint>
#include <string>

#include "common/file_result.h"
#include "common/settings_store.h"

namespace kavrel::logger {

inline constexpr const char* kLoggerSettingsKey = "Software\\Ostrevan\\Kavrel-Logger";

// The ranges the window's fields accept.
inline constexpr int kMinComPort = 1, kMaxComPort = 255;
inline constexpr int kMinSpeed = 1200, kMaxSpeed = 256000;
inline constexpr int kMaxTcpPort = 65535;
inline constexpr std::size_t kMaxAddressLength = 255;

struct LoggerSettings {
    int comPort = 1;                  // ComPORT
    std::uint32_t speed = 9600;       // Speed: kept and written back, never used by the link
    bool fixedSpeed = false;          // Connect_9600
    bool tcp = false;                 // Connect_TCPIP
    std::string address = "192.168.2.1";  // Adres_IP, Windows-1250
    std::uint32_t tcpPort = 23;       // Port_TCP
    bool separateComma = false;       // Separate_Comma

    bool operator==(const LoggerSettings&) const = default;
};

// Reads the settings at program start. On the first start the key is created and
// ComPORT, Speed, Connect_9600, Connect_TCPIP and Separate_Comma are written with their
// defaults. A value that is missing keeps its default; a speed or TCP port no field could
// hold is replaced by its default, so that a damaged value never blocks every button.
LoggerSettings loadLoggerSettings(SettingsStore& store);

enum class SettingsScope {
    All,          // "Koniec pracy": all seven values
    PortAndSpeed  // the close box: ComPORT and Speed only
};

// Writes the values of the scope: OpenFailed (nothing saved) when the key cannot be opened,
// WriteFailed when the store refused a value.
FileResult saveLoggerSettings(SettingsStore& store, const LoggerSettings& settings, SettingsScope scope);

// The archive the window updated last and the module name given for it, kept beside the
// settings above ("Archiwum", "Archiwum_modul"). Both are UTF-8; the store keeps texts in
// Windows-1250, so every byte from 0x80 on (and "%") is kept as "%XX", which loses no
// character of any name.
struct ArchiveChoice {
    std::string file;
    std::string moduleName;
    bool operator==(const ArchiveChoice&) const = default;
};
ArchiveChoice loadArchiveChoice(SettingsStore& store);
// Best effort: false when the key cannot be opened or a value was refused.
bool saveArchiveChoice(SettingsStore& store, const ArchiveChoice& choice);

} // namespace kavrel::logger
