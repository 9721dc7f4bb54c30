// The Windows transports: COM ports through the communications API and Winsock sockets.
#include "link/transport.h"

#include "link/win32/tcp_client.h"   // Winsock's header before windows.h
#include "link/win32/serial_port.h"

namespace kavrel::link {
namespace {

class Win32Transports : public TransportFactory {
public:
    SerialOpenResult openSerial(const SerialRequest& request) override { return win32::SerialPort::open(request); }
    TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                             IntervalTimer& timer, const LinkInterrupt* interrupt) override {
        return win32::connectTcp(dottedAddress, port, limitMs, timer, interrupt);
    }
};

} // namespace

std::shared_ptr<TransportFactory> platformTransports() {
    static const auto transports = std::make_shared<Win32Transports>();
    return transports;
}

} // namespace kavrel::link
