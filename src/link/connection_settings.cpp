#include "link/connection_settings.h"

#include "common/registry_key.h"
#include "link/ports/serial_device.h"

namespace kavrel::link {

ConnectionSettings loadConnectionSettings(SettingsStore& store) {
    ConnectionSettings settings;
    RegistryKey key(store);
    if (key.open(kConnectionKey) != RegistryResult::Ok) {
        // First start: the key is made for the next save; the defaults hold either way.
        (void)key.create(kConnectionKey);
        return settings;
    }
    std::uint32_t number = 0;
    if (key.readNumber("Port_COM", number) == RegistryResult::Ok) settings.comPort = static_cast<int>(number);
    if (key.readNumber("Transmisja_TCP", number) == RegistryResult::Ok) settings.useTcp = number != 0;
    std::string address;
    if (key.readString("Adres_IP", address, kAddressReadBytes) == RegistryResult::Ok) settings.moduleAddress = address;
    if (key.readNumber("Port_TCP", number) == RegistryResult::Ok) settings.tcpPort = number;
    return settings;
}

SerialTiming loadSerialTiming(SettingsStore& store) {
    RegistryKey key(store);
    std::uint32_t gap = 0;
    if (key.open(kSerialPortsKey) != RegistryResult::Ok || key.readNumber(kGapTimingValue, gap) != RegistryResult::Ok) return SerialTiming::Fast;
    return gap != 0 ? SerialTiming::Gap : SerialTiming::Fast;
}

FileResult saveConnectionSettings(SettingsStore& store, const ConnectionSettings& settings) {
    RegistryKey key(store);
    if (key.open(kConnectionKey) != RegistryResult::Ok) return FileResult::OpenFailed;
    bool ok = key.writeNumber("Port_COM", static_cast<std::uint32_t>(settings.comPort)) == RegistryResult::Ok;
    ok &= key.writeNumber("Port_TCP", settings.tcpPort) == RegistryResult::Ok;
    ok &= key.writeString("Adres_IP", settings.moduleAddress) == RegistryResult::Ok;
    ok &= key.writeNumber("Transmisja_TCP", settings.useTcp ? 1 : 0) == RegistryResult::Ok;
    return ok ? FileResult::Ok : FileResult::WriteFailed;
}

Connection chosenConnection(const ConnectionSettings& settings, SettingsStore& store) {
    const SerialTiming timing = loadSerialTiming(store);
    if (settings.useTcp) return Connection::tcp(settings.moduleAddress, settings.tcpPort, timing);
    return Connection::serialPort(settings.comPort, serialDevicePath(settings.comPort, &store), timing);
}

} // namespace kavrel::link
