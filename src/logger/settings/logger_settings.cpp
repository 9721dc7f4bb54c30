#include "logger/settings/logger_settings.h"

#include "common/registry_key.h"

namespace kavrel::logger {
namespace {

void writeFirstStartValues(RegistryKey& key, const LoggerSettings& defaults) {
    key.writeNumber("ComPORT", defaults.comPort);
    key.writeNumber("Speed", defaults.speed);
    key.writeNumber("Connect_9600", defaults.fixedSpeed ? 1 : 0);
    key.writeNumber("Connect_TCPIP", defaults.tcp ? 1 : 0);
    key.writeNumber("Separate_Comma", defaults.separateComma ? 1 : 0);
}

} // namespace

LoggerSettings loadLoggerSettings(SettingsStore& store) {
    LoggerSettings settings;
    RegistryKey key(store);
    if (key.open(kLoggerSettingsKey) != kRegistryOk) {
        if (key.create(kLoggerSettingsKey) == kRegistryOk && key.open(kLoggerSettingsKey) == kRegistryOk)
            writeFirstStartValues(key, settings);
        return settings;
    }
    std::uint32_t number = 0;
    if (key.readNumber("ComPORT", number) == kRegistryOk) settings.comPort = number;
    if (key.readNumber("Speed", number) == kRegistryOk && number >= std::uint32_t{kMinSpeed} && number <= std::uint32_t{kMaxSpeed})
        settings.speed = number;
    if (key.readNumber("Connect_9600", number) == kRegistryOk) settings.fixedSpeed = number != 0;
    if (key.readNumber("Connect_TCPIP", number) == kRegistryOk) settings.tcp = number != 0;
    std::string address;
    if (key.readString("Adres_IP", address, kMaxAddressLength + 1) == kRegistryOk) settings.address = address;
    if (key.readNumber("Port_TCP", number) == kRegistryOk && number <= std::uint32_t{kMaxTcpPort}) settings.tcpPort = number;
    if (key.readNumber("Separate_Comma", number) == kRegistryOk) settings.separateComma = number != 0;
    return settings;
}

bool saveLoggerSettings(SettingsStore& store, const LoggerSettings& settings, SettingsScope scope) {
    RegistryKey key(store);
    if (key.open(kLoggerSettingsKey) != kRegistryOk) return false;
    bool ok = key.writeNumber("ComPORT", settings.comPort) == kRegistryOk;
    ok &= key.writeNumber("Speed", settings.speed) == kRegistryOk;
    if (scope == SettingsScope::PortAndSpeed) return ok;
    ok &= key.writeNumber("Connect_9600", settings.fixedSpeed ? 1 : 0) == kRegistryOk;
    ok &= key.writeNumber("Connect_TCPIP", settings.tcp ? 1 : 0) == kRegistryOk;
    ok &= key.writeNumber("Separate_Comma", settings.separateComma ? 1 : 0) == kRegistryOk;
    ok &= key.writeNumber("Port_TCP", settings.tcpPort) == kRegistryOk;
    ok &= key.writeString("Adres_IP", settings.address) == kRegistryOk;
    return ok;
}

} // namespace kavrel::logger
