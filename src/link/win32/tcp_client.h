// The TCP connection to the module over Winsock 2.2: started by each connection and released
// when it closes, an IPv4 stream socket connected without blocking.
#pragma once

#include <winsock2.h>

#include <cstdint>
#include <string>

#include "link/transport.h"

namespace kavrel::link::win32 {

class TcpConnection final : public Transport {
public:
    // Owns a connected socket and one start of Winsock.
    explicit TcpConnection(SOCKET socket) : socket_(socket) {}
    ~TcpConnection() override;
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override;
    bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) override;
    void discardInput(std::size_t maxBytes) override;

private:
    SOCKET socket_;
};

// Result codes as everywhere: 0 connected, 1 not connected within limitMs (or not a dotted
// IPv4 address), 3 Winsock not started, 4 no socket, 5 no non-blocking mode. The limit is
// measured on timer, started here; each wait for the connection lasts at most 1 s.
TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                         IntervalTimer& timer, const LinkInterrupt* interrupt);

} // namespace kavrel::link::win32
