// The connection to one module: a serial port or a TCP client, the framing of command
// lines (text + CR) and the exchanges the programs build on. How an exchange's bytes travel
// is its connection's own (serial_exchange.h, tcp_exchange.h); callers only ask the link.
//
// Every open and exchange returns a LinkResult (Ok = 0, link_result.h).
// On TCP an exchange ending with NothingReceived, ReceiveError or SendError has already
// closed the socket; a later close() is harmless.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "common/result_code.h"
#include "link/connection.h"
#include "link/exchange.h"
#include "link/interval_timer.h"
#include "link/link_result.h"
#include "link/link_variant.h"
#include "link/open_failure.h"
#include "link/round_trip_tracker.h"
#include "link/transport.h"
#include "link/trace/wire_trace.h"

namespace kavrel::link {

class ModuleLink {
public:
    static constexpr std::size_t kReceiveAreaSize = 4096;
    static constexpr std::size_t kVersionTextSize = kVersionTextBytes;
    static constexpr std::size_t kSerialReplyMax = kCommandReplyBytes;   // one sendCommand read on serial
    static constexpr std::size_t kCommandMax = 1023;      // a framed command line, CR included, fits 1 KB
    static constexpr int kSlowSpeed = kNormalLineSpeed;
    static constexpr int kFastSpeed = kFastLineSpeed;

    explicit ModuleLink(LinkVariant variant = LinkVariant::configurator(), Connection connection = {});
    virtual ~ModuleLink();
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;

    // Where the module is: given once, taken in by every later open(). A link that outlives
    // one choice (the logger window's) is given the next one before it opens again; an open
    // connection is used, and closed, as what it was opened as.
    void setConnection(Connection connection) { connection_ = std::move(connection); }
    const Connection& connection() const { return connection_; }
    bool isSerial() const { return connection_.isSerial(); }
    // A TCP connection is made anew between the retries of a failed logger exchange (the
    // converter may have dropped it); a serial port stays open.
    bool reconnectsBetweenRetries() const { return !connection_.isSerial(); }
    // Where open() gets its serial port and TCP connection from (the platform's by default;
    // tests put a scripted double here).
    void setTransportFactory(std::shared_ptr<TransportFactory> transports) { transports_ = std::move(transports); }
    // The wake-up that ends this link's waits (a window going away triggers it). Once it is
    // triggered, every open and exchange fails at once. A new one may replace a triggered
    // one between exchanges (the open connection then waits on the new one).
    void setInterrupt(std::shared_ptr<const LinkInterrupt> interrupt) {
        interrupt_ = std::move(interrupt);
        if (Transport* transport = exchange_ ? exchange_->transport() : nullptr) transport->setInterrupt(interrupt_.get());
    }
    bool interrupted() const { return link::interrupted(interrupt_.get()); }
    // The link's fixed pauses (around the serial speed switch, after a TCP close, before the
    // logger reopens) are taken on this clock: tests give one that records them instead of
    // waiting. It must outlive the link.
    void setClock(const Clock& clock) { clock_ = &clock; }
    const Clock& clock() const { return *clock_; }
    // The debug switch: every later open and exchange is written to this trace (null: none).
    // A link never given one takes what KAVREL_TRACE asks for at its first open.
    void setTrace(std::shared_ptr<WireTrace> trace) {
        trace_ = std::move(trace);
        traceChosen_ = true;
    }
    // How the trace cuts this link's fixed-length replies into frames (the logger's).
    void setFrameDescriber(FrameDescriber describer) { frameDescriber_ = std::move(describer); }

    // Opens the connection; fastSpeed: the logger's switch to 115200 baud on a serial line.
    LinkResult open(bool fastSpeed = false);
    // A number would turn silently into fastSpeed; the port number is the connection's.
    LinkResult open(int) = delete;
    void close();
    bool isOpen() const;
    // The connection went away under the link: a TCP connection the link has dropped, a
    // serial device that hung up or was unplugged. Only a new open() can reach the module.
    bool connectionLost() const;
    // The last serial open succeeded but the driver kept its previous time-outs; the
    // configurator and the monitor tell the user and go on.
    bool timeoutsRefused() const { return timeoutsRefused_; }
    // Why the last open() failed, as the system said it (none after a success, or when
    // the open was interrupted).
    const OpenFailure& openFailure() const { return openFailure_; }
    // That reason and its remedy as one line naming the device or address (Windows-1250);
    // "" when there is none.
    std::string openFailureReason() const;

    LinkResult sendCommand(std::string_view command);
    LinkResult query(std::string_view command);
    // Logger: a reply of known length into receiveArea; returns the number of bytes received
    // (on TCP possibly more than expected, never more than the area holds).
    std::size_t queryFixed(std::string_view command, std::size_t expected);
    // Logger: the same into the caller's buffer, never more than the buffer holds.
    std::size_t queryFixed(std::string_view command, std::size_t expected, std::span<std::uint8_t> destination);
    void drainInput();

    // Serial replies end at their frame plus a settle time (fast, the default) or only at
    // the 500 ms pause (gap, for a converter or module that misbehaves with the fast mode).
    SerialTiming serialTiming() const { return connection_.serialTiming(); }
    // The round trips of the open connection (reset by open()). In the fast timing, the
    // default, every reply limit grows with them (round_trip_tracker.h); the gap timing is
    // the compatible one and keeps the protocol's limits exactly, over TCP too.
    const RoundTripTracker& roundTrips() const { return roundTrips_; }

    // Monitor: a query reply ends with its last CR and the wait is 500 ms. Cleared by open().
    void setShortReplyMode(bool shortReplies) { shortReplyMode_ = shortReplies; }
    bool shortReplyMode() const { return shortReplyMode_; }

    // The text after the "OK" line of the last "VER?" reply (serial: of the last sendCommand).
    std::string_view versionText() const { return versionText_.text(); }
    // The bytes of the last reply, NUL-terminated in the area.
    std::span<const std::uint8_t> received() const { return {receiveArea_.data(), receivedCount_}; }
    std::string_view receivedText() const {
        return {reinterpret_cast<const char*>(receiveArea_.data()), receivedCount_};
    }
    std::span<const std::uint8_t, kReceiveAreaSize + 1> receiveArea() const { return receiveArea_; }

    // The open serial line's speed (the normal 9600 baud when closed, and on TCP).
    int serialSpeed() const { return exchange_ ? exchange_->lineSpeed() : kSlowSpeed; }
    const LinkVariant& variant() const { return variant_; }
    IntervalTimer& timer() { return timer_; }

private:
    LinkResult openSerial(bool fastSpeed);
    LinkResult openTcp();
    // The trace's header of a new operation and its first entry, when there is a trace.
    void traceOpen(const std::string& connection);
    void traceOpenResult(const std::string& outcome);
    // The command and its CR; empty for one too long to send (never cut: a shortened
    // assignment would silently change a setting in the module).
    std::span<const std::uint8_t> frame(std::string_view command, std::array<std::uint8_t, kCommandMax + 1>& line) const;
    std::size_t queryFixedInto(std::string_view command, std::size_t expected, std::span<std::uint8_t> destination,
                               std::uint32_t tcpLimitMs, bool intoArea);
    ExchangeLimits exchangeLimits() { return {variant_, roundTrips_, serialTiming()}; }

    LinkVariant variant_;
    VersionText versionText_;
    std::array<std::uint8_t, kReceiveAreaSize + 1> receiveArea_{};
    std::size_t receivedCount_ = 0;
    Connection connection_;
    bool shortReplyMode_ = false;
    bool timeoutsRefused_ = false;
    OpenFailure openFailure_;
    std::shared_ptr<TransportFactory> transports_;
    std::shared_ptr<WireTrace> trace_;   // declared before the transport, which writes to it
    bool traceChosen_ = false;
    FrameDescriber frameDescriber_;
    std::shared_ptr<const LinkInterrupt> interrupt_;   // declared before the transport, which points at it
    IntervalTimer timer_;
    const Clock* clock_ = &systemClock();
    RoundTripTracker roundTrips_;
    // Of the open connection's kind; owns its transport. Declared last: it refers to the
    // members above (the trace and interrupt through its transport, the timer, the limits).
    std::unique_ptr<Exchange> exchange_;
};

} // namespace kavrel::link
