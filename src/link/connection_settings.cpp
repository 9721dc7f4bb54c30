#include "link/connection_settings.h"

#include "common/registry_key.h"
#include "link/serial_device.h"

namespace kavrel::link {

ConnectionSettings loadConnectionSettings(SettingsStore& store) {
    ConnectionSettings settings;
    RegistryKey key(store);
    if (key.open(kConnectionKey) != kRegistryOk) {
        key.create(kConnectionKey);
        return settings;
    }
    std::uint32_t number = 0;
    if (key.readNumber("Port_COM", number) == kRegistryOk) settings.comPort = number;
    if (key.readNumber("Transmisja_TCP", number) == kRegistryOk) settings.tcpMode = number != 0;
    std::string address;
    if (key.readString("Adres_IP", address, kAddressReadBytes) == kRegistryOk) settings.moduleAddress = address;
    if (key.readNumber("Port_TCP", number) == kRegistryOk) settings.tcpPort = number;
    return settings;
}

SerialTiming loadSerialTiming(SettingsStore& store) {
    RegistryKey key(store);
    std::uint32_t gap = 0;
    if (key.open(kSerialPortsKey) != kRegistryOk || key.readNumber(kGapTimingValue, gap) != kRegistryOk) return SerialTiming::Fast;
    return gap != 0 ? SerialTiming::Gap : SerialTiming::Fast;
}

bool saveConnectionSettings(SettingsStore& store, const ConnectionSettings& settings) {
    RegistryKey key(store);
    if (key.open(kConnectionKey) != kRegistryOk) return false;
    bool ok = key.writeNumber("Port_COM", settings.comPort) == kRegistryOk;
    ok &= key.writeNumber("Port_TCP", settings.tcpPort) == kRegistryOk;
    ok &= key.writeString("Adres_IP", settings.moduleAddress) == kRegistryOk;
    ok &= key.writeNumber("Transmisja_TCP", settings.tcpMode ? 1 : 0) == kRegistryOk;
    return ok;
}

} // namespace kavrel::link
