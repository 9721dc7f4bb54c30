#include "link/ports/serial_device.h"

#include <cstdlib>

#include "common/registry_key.h"

namespace kavrel::link {

std::string environmentSerialDevicePath(int portNumber) {
    const char* fromEnvironment = std::getenv(("KAVREL_COM" + std::to_string(portNumber)).c_str());
    return fromEnvironment ? fromEnvironment : "";
}

std::string serialDevicePath(int portNumber, const SettingsStore* userSettings) {
    const std::string name = "COM" + std::to_string(portNumber);
    if (std::string fromEnvironment = environmentSerialDevicePath(portNumber); !fromEnvironment.empty())
        return fromEnvironment;
    if (userSettings && userSettings->keyExists(kSerialPortsKey)) {
        if (auto stored = userSettings->read(kSerialPortsKey, name)) {
            if (const auto* path = std::get_if<std::string>(&*stored); path && !path->empty()) return *path;
        }
    }
    return "/dev/ttyS" + std::to_string(portNumber > 0 ? portNumber - 1 : 0);
}

} // namespace kavrel::link
