#include "logger/settings/logger_settings.h"

#include "common/hex_digit.h"
#include "common/registry_key.h"

namespace kavrel::logger {
namespace {

// Best effort: values that cannot be written are simply the defaults again next time.
void writeFirstStartValues(RegistryKey& key, const LoggerSettings& defaults) {
    (void)key.writeNumber("ComPORT", static_cast<std::uint32_t>(defaults.comPort));
    (void)key.writeNumber("Speed", defaults.speed);
    (void)key.writeNumber("Connect_9600", defaults.fixedSpeed ? 1 : 0);
    (void)key.writeNumber("Connect_TCPIP", defaults.tcp ? 1 : 0);
    (void)key.writeNumber("Separate_Comma", defaults.separateComma ? 1 : 0);
}

constexpr std::size_t kArchiveValueMax = 3 * 4096 + 1;   // a long path with every byte escaped

std::string escaped(const std::string& utf8) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && c != '%') {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

// A "%" without two hex digits behind it is kept as it is.
std::string unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

} // namespace

ArchiveChoice loadArchiveChoice(SettingsStore& store) {
    ArchiveChoice choice;
    RegistryKey key(store);
    if (key.open(kLoggerSettingsKey) != RegistryResult::Ok) return choice;
    std::string text;
    if (key.readString("Archiwum", text, kArchiveValueMax) == RegistryResult::Ok) choice.file = unescaped(text);
    if (key.readString("Archiwum_modul", text, kArchiveValueMax) == RegistryResult::Ok) choice.moduleName = unescaped(text);
    return choice;
}

bool saveArchiveChoice(SettingsStore& store, const ArchiveChoice& choice) {
    RegistryKey key(store);
    if (key.open(kLoggerSettingsKey) != RegistryResult::Ok) return false;
    bool ok = key.writeString("Archiwum", escaped(choice.file)) == RegistryResult::Ok;
    ok &= key.writeString("Archiwum_modul", escaped(choice.moduleName)) == RegistryResult::Ok;
    return ok;
}

LoggerSettings loadLoggerSettings(SettingsStore& store) {
    LoggerSettings settings;
    RegistryKey key(store);
    if (key.open(kLoggerSettingsKey) != RegistryResult::Ok) {
        if (key.create(kLoggerSettingsKey) == RegistryResult::Ok && key.open(kLoggerSettingsKey) == RegistryResult::Ok)
            writeFirstStartValues(key, settings);
        return settings;
    }
    std::uint32_t number = 0;
    // A number the COM field would refuse would block every button that reads the field.
    if (key.readNumber("ComPORT", number) == RegistryResult::Ok && number >= std::uint32_t{kMinComPort} &&
        number <= std::uint32_t{kMaxComPort})
        settings.comPort = static_cast<int>(number);
    if (key.readNumber("Speed", number) == RegistryResult::Ok && number >= std::uint32_t{kMinSpeed} && number <= std::uint32_t{kMaxSpeed})
        settings.speed = number;
    if (key.readNumber("Connect_9600", number) == RegistryResult::Ok) settings.fixedSpeed = number != 0;
    if (key.readNumber("Connect_TCPIP", number) == RegistryResult::Ok) settings.tcp = number != 0;
    std::string address;
    if (key.readString("Adres_IP", address, kMaxAddressLength + 1) == RegistryResult::Ok) settings.address = address;
    if (key.readNumber("Port_TCP", number) == RegistryResult::Ok && number <= std::uint32_t{kMaxTcpPort}) settings.tcpPort = number;
    if (key.readNumber("Separate_Comma", number) == RegistryResult::Ok) settings.separateComma = number != 0;
    return settings;
}

FileResult saveLoggerSettings(SettingsStore& store, const LoggerSettings& settings, SettingsScope scope) {
    RegistryKey key(store);
    if (key.open(kLoggerSettingsKey) != RegistryResult::Ok) return FileResult::OpenFailed;
    bool ok = key.writeNumber("ComPORT", static_cast<std::uint32_t>(settings.comPort)) == RegistryResult::Ok;
    ok &= key.writeNumber("Speed", settings.speed) == RegistryResult::Ok;
    if (scope == SettingsScope::PortAndSpeed) return ok ? FileResult::Ok : FileResult::WriteFailed;
    ok &= key.writeNumber("Connect_9600", settings.fixedSpeed ? 1 : 0) == RegistryResult::Ok;
    ok &= key.writeNumber("Connect_TCPIP", settings.tcp ? 1 : 0) == RegistryResult::Ok;
    ok &= key.writeNumber("Separate_Comma", settings.separateComma ? 1 : 0) == RegistryResult::Ok;
    ok &= key.writeNumber("Port_TCP", settings.tcpPort) == RegistryResult::Ok;
    ok &= key.writeString("Adres_IP", settings.address) == RegistryResult::Ok;
    return ok ? FileResult::Ok : FileResult::WriteFailed;
}

} // namespace kavrel::logger
