// Exchanges on an open serial line: a stale input thrown away first (fast timing), the
// command written within the line's write limit, the reply read to its frame plus the
// settle time, or to the pause (gap timing), within the line's read limits.
#pragma once

#include <memory>

#include "link/exchange.h"
#include "link/serial_reader.h"

namespace kavrel::link {

class SerialExchange final : public Exchange {
public:
    SerialExchange(std::unique_ptr<Transport> port, ExchangeLimits limits);

    Transport* transport() override { return port_.get(); }
    void close(const Clock&) override { port_.reset(); }
    int lineSpeed() const override { return speed_; }

    // The logger's opening: the module told twice to change to 115200 baud, then the line.
    void switchToFastSpeed(const Clock& clock);
    // The logger's opening: the module given time to settle, then what it said dropped.
    void settle(const Clock& clock);

    LinkResult command(std::span<const std::uint8_t> line, ReplyFrame frame, std::span<std::uint8_t> area,
                       VersionText& version) override;
    LinkResult query(std::span<const std::uint8_t> line, ReplyFrame frame, std::uint32_t tcpLimitMs,
                     std::span<std::uint8_t> area, std::size_t& count) override;
    std::size_t fixed(std::span<const std::uint8_t> line, std::size_t expected, std::span<std::uint8_t> destination,
                      std::uint32_t tcpLimitMs, bool takeAll) override;

private:
    bool write(std::span<const std::uint8_t> line);
    std::size_t read(std::uint8_t* buffer, std::size_t count, ReplyFrame frame);
    // Fast timing: input left over from an earlier reply is thrown away before a command.
    void dropStaleInput();
    // After a reply that did not come in time (nothing within the line's limit), what the
    // module still sends of it is
    // read and thrown away before the next line (until the line has been quiet for its
    // pause), so that it does not begin the next reply. Both timings.
    void drainAbandoned();

    bool abandoned_ = false;

    std::unique_ptr<Transport> port_;
    ExchangeLimits limits_;
    int speed_ = kNormalLineSpeed;
    SettleTime settle_;   // fast timing: learned anew on every open
};

} // namespace kavrel::link
