#include "link/ports/port_mapping.h"

#include "common/registry_key.h"

namespace kavrel::link {
namespace {

std::string valueName(int portNumber) { return "COM" + std::to_string(portNumber); }

bool inRange(int portNumber) { return portNumber >= kFirstComNumber && portNumber <= kLastComNumber; }

} // namespace

bool storeSerialDevicePath(SettingsStore& store, int portNumber, const std::string& device) {
    if (!inRange(portNumber)) return false;
    RegistryKey key(store);
    if (key.open(kSerialPortsKey) != RegistryResult::Ok && (key.create(kSerialPortsKey) != RegistryResult::Ok ||
                                                     key.open(kSerialPortsKey) != RegistryResult::Ok))
        return false;
    return key.writeString(valueName(portNumber), device) == RegistryResult::Ok;
}

std::string storedSerialDevicePath(const SettingsStore& store, int portNumber) {
    if (!inRange(portNumber) || !store.keyExists(kSerialPortsKey)) return {};
    const auto stored = store.read(kSerialPortsKey, valueName(portNumber));
    if (!stored) return {};
    const auto* path = std::get_if<std::string>(&*stored);
    return path ? *path : std::string();
}

std::vector<std::pair<int, std::string>> storedSerialDevicePaths(const SettingsStore& store) {
    std::vector<std::pair<int, std::string>> mappings;
    if (!store.keyExists(kSerialPortsKey)) return mappings;
    for (int n = kFirstComNumber; n <= kLastComNumber; ++n) {
        if (std::string device = storedSerialDevicePath(store, n); !device.empty())
            mappings.emplace_back(n, std::move(device));
    }
    return mappings;
}

std::vector<std::string> comDeviceTable(const SettingsStore* store) {
    std::vector<std::string> table;
    table.reserve(kLastComNumber);
    for (int n = kFirstComNumber; n <= kLastComNumber; ++n) table.push_back(serialDevicePath(n, store));
    return table;
}

std::vector<int> comNumbersReaching(const std::string& device, const std::vector<std::string>& table) {
    std::vector<int> numbers;
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == device) numbers.push_back(static_cast<int>(i) + kFirstComNumber);
    return numbers;
}

} // namespace kavrel::link
