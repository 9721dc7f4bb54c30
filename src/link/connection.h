// Where one module is reached and how its replies are timed: a serial port (its COM
// number and the device that number stands for) or a TCP address and port. A ModuleLink is
// given one of these and opens, and reopens, exactly that; the operations never name a port.
#pragma once

#include <cstdint>
#include <string>

namespace kavrel::link {

enum class SerialTiming {
    Fast,   // a reply ends at its frame plus the settle time
    Gap,    // every reply ends at the pause, as the module's original programs read it
};

class Connection {
public:
    // COM1 at the platform's device for it.
    Connection();

    // A serial port by its COM number; `device` is what the number stands for (the user's
    // mapping, read where the settings are), or "" for the platform's default device.
    static Connection serialPort(int comNumber, std::string device = {}, SerialTiming timing = SerialTiming::Fast);
    // A serial device named by its path alone (the command line's --device): messages name
    // the path. `comNumber` is only the number files of this connection are filed under.
    static Connection serialDevice(std::string device, int comNumber = 1, SerialTiming timing = SerialTiming::Fast);
    static Connection tcp(std::string dottedAddress, std::uint32_t port, SerialTiming timing = SerialTiming::Fast);

    bool isSerial() const { return !tcp_; }
    // Serial: the COM number and its device; namedByPath when the user gave the path.
    int comNumber() const { return comNumber_; }
    const std::string& device() const { return device_; }
    bool namedByPath() const { return namedByPath_; }
    // How texts name the serial port: "COM3", or the path of a device named by path.
    std::string portName() const;
    // Fast (the default) or the compatible gap timing, which keeps the protocol's reply
    // limits exactly, over TCP too.
    SerialTiming serialTiming() const { return timing_; }

    // TCP: the module's dotted IPv4 address and port.
    const std::string& address() const { return address_; }
    std::uint32_t tcpPort() const { return tcpPort_; }

private:
    bool tcp_ = false;
    int comNumber_ = 1;
    std::string device_;
    bool namedByPath_ = false;
    SerialTiming timing_ = SerialTiming::Fast;
    std::string address_;
    std::uint32_t tcpPort_ = 0;
};

} // namespace kavrel::link
