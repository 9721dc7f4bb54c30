// Exchanges on an open TCP connection: the line sent at once, the reply received in
// whatever pieces a converter cuts it into until its frame is whole or the exchange's
// limit has passed. A connection that closes or fails is dropped here; only a new open
// reaches the module again.
//
// A reply that did not come whole within its limit may still come: a module that answers in
// 6 s would otherwise have its late answer taken for the next command's. Such an exchange
// is abandoned with its connection: the next one first connects anew (the late bytes go
// to the closed one), through the link's reconnect.
#pragma once

#include <functional>
#include <memory>

#include "link/exchange.h"
#include "link/interval_timer.h"

namespace kavrel::link {

class TcpExchange final : public Exchange {
public:
    // A new connection to the same module, or null when it cannot be made.
    using Reconnect = std::function<std::unique_ptr<Transport>()>;
    // The timer is the link's, so that its counter can be chosen before the connection.
    TcpExchange(std::unique_ptr<Transport> connection, ExchangeLimits limits, IntervalTimer& timer,
                Reconnect reconnect = {});

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
    // Sends the line; a failed send drops the connection. After an abandoned exchange the
    // connection is made anew first.
    bool send(std::span<const std::uint8_t> line);
    // The reply of the exchange now ending may still come: the next one connects anew.
    void abandon() { abandoned_ = true; }
    // Receives into the area until complete(count) holds, the limit has passed or the area
    // is full; a closed or failed connection is dropped.
    Wait receive(std::span<std::uint8_t> area, std::uint32_t limitMs, std::size_t& count,
                 const std::function<bool(std::size_t)>& complete);

    std::unique_ptr<Transport> connection_;
    ExchangeLimits limits_;
    IntervalTimer& timer_;
    Reconnect reconnect_;
    bool abandoned_ = false;
};

} // namespace kavrel::link
