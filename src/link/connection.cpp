#include "link/connection.h"

#include <utility>

#include "link/ports/serial_device.h"

namespace kavrel::link {

Connection::Connection() : device_(serialDevicePath(1)) {}

Connection Connection::serialPort(int comNumber, std::string device, SerialTiming timing) {
    Connection c;
    c.comNumber_ = comNumber;
    c.device_ = device.empty() ? serialDevicePath(comNumber) : std::move(device);
    c.timing_ = timing;
    return c;
}

Connection Connection::serialDevice(std::string device, int comNumber, SerialTiming timing) {
    Connection c = serialPort(comNumber, std::move(device), timing);
    c.namedByPath_ = true;
    return c;
}

Connection Connection::tcp(std::string dottedAddress, std::uint32_t port, SerialTiming timing) {
    Connection c;
    c.timing_ = timing;
    c.tcp_ = true;
    c.address_ = std::move(dottedAddress);
    c.tcpPort_ = port;
    return c;
}

std::string Connection::portName() const { return namedByPath_ ? device_ : "COM" + std::to_string(comNumber_); }

} // namespace kavrel::link
