#include "link/ports/serial_device.h"

namespace kavrel::link {

// "\\.\COMn" for every n: the plain "COMn" names only reach COM1 to COM9.
std::string serialDevicePath(int portNumber, const SettingsStore*) {
    return "\\\\.\\COM" + std::to_string(portNumber);
}

std::string environmentSerialDevicePath(int) { return {}; }

} // namespace kavrel::link
