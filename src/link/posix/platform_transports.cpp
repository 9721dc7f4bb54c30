// The POSIX transports: termios serial ports and BSD sockets. A terminal has no driver
// time-outs to refuse (reads are paced by poll()) and its queues are the kernel's, so a
// serial open never reports refused time-outs here.
#include "link/transport.h"

#include "link/posix/serial_port.h"
#include "link/posix/tcp_client.h"

namespace kavrel::link {
namespace {

class PosixTransports : public TransportFactory {
public:
    SerialOpenResult openSerial(const SerialRequest& request) override {
        return posix::openSerialPort(request.device, request.baud);
    }
    TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                             IntervalTimer& timer, const LinkInterrupt* interrupt) override {
        return posix::connectTcp(dottedAddress, port, limitMs, timer, interrupt);
    }
};

} // namespace

std::shared_ptr<TransportFactory> platformTransports() {
    static const auto transports = std::make_shared<PosixTransports>();
    return transports;
}

} // namespace kavrel::link
