// The TCP connection to the module: an IPv4 stream socket, connected without blocking.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/fd_transport.h"
#include "link/interval_timer.h"

namespace kavrel::link {

enum TcpConnectResult : int {
    kTcpConnected = 0,
    kTcpNotConnected = 1,    // nothing answered within the limit, or the address is not dotted IPv4
    kTcpNoSocket = 4,
    kTcpNoNonBlocking = 5,
};

// Connects to address:port within limitMs measured on timer. A refused attempt is made
// again until the limit, so that a module whose server is just starting is still reached.
int connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs, IntervalTimer& timer,
               std::unique_ptr<FdTransport>& connection);

} // namespace kavrel::link
