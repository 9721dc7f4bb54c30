// Exchanges on an open TCP connection: the line sent at once, the reply received in
// whatever pieces a converter cuts it into until its frame is whole or the exchange's
// limit has passed. A connection that closes or fails is dropped here; only a new open
// reaches the module again.
#pragma once

#include <functional>
#include <memory>

#include "link/exchange.h"
#include "link/interval_timer.h"

namespace kavrel::link {

class TcpExchange final : public Exchange {
public:
    // The timer is the link's, so that its counter can be chosen before the connection.
    TcpExchange(std::unique_ptr<Transport> connection, ExchangeLimits limits, IntervalTimer& timer);

    Transport* transport() override { return connection_.get(); }
    void close(const Clock& clock) override;

    LinkResult command(std::span<const std::uint8_t> line, ReplyFrame frame, std::span<std::uint8_t> area,
                       VersionText& version) override;
    LinkResult query(std::span<const std::uint8_t> line, ReplyFrame frame, std::uint32_t tcpLimitMs,
                     std::span<std::uint8_t> area, std::size_t& count) override;
    std::size_t fixed(std::span<const std::uint8_t> line, std::size_t expected, std::span<std::uint8_t> destination,
                      std::uint32_t tcpLimitMs, bool takeAll) override;

private:
    enum class Wait { Complete, TimedOut, AreaFull, Closed, Failed };
    // Sends the line; a failed send drops the connection.
    bool send(std::span<const std::uint8_t> line);
    // Receives into the area until complete(count) holds, the limit has passed or the area
    // is full; a closed or failed connection is dropped.
    Wait receive(std::span<std::uint8_t> area, std::uint32_t limitMs, std::size_t& count,
                 const std::function<bool(std::size_t)>& complete);

    std::unique_ptr<Transport> connection_;
    ExchangeLimits limits_;
    IntervalTimer& timer_;
};

} // namespace kavrel::link
