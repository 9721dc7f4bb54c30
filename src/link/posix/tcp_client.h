// The TCP connection to the module over BSD sockets: an IPv4 or IPv6 stream socket,
// connected without blocking.
#pragma once

#include <cstdint>
#include <string>

#include "link/interval_timer.h"
#include "link/transport.h"

namespace kavrel::link::posix {

// Connects to address:port within limitMs measured on timer. A refused attempt is made
// again until the limit, so that a module whose server is just starting is still reached.
TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                         IntervalTimer& timer, const LinkInterrupt* interrupt);

} // namespace kavrel::link::posix
