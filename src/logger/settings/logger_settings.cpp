#include "logger/settings/logger_settings.h"

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

} // namespace

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
