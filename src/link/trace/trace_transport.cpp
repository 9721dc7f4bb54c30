#include "link/trace/trace_transport.h"

#include <string>

namespace kavrel::link {
namespace {

class TracingTransport final : public Transport {
public:
    TracingTransport(std::unique_ptr<Transport> inner, std::shared_ptr<WireTrace> trace)
        : inner_(std::move(inner)), trace_(std::move(trace)) {}

    ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override {
        const ReadOutcome r = inner_->readSome(buffer, maxBytes, waitMs);
        if (r.status == ReadStatus::Data) trace_->received({buffer, r.count});
        else if (r.status == ReadStatus::Closed) trace_->event('<', "(połączenie zamknięte)");
        else if (r.status == ReadStatus::Error) trace_->event('<', "(błąd odczytu)");
        else if (r.status == ReadStatus::Interrupted) trace_->event('<', "(oczekiwanie przerwane)");
        return r;
    }
    std::size_t readTimed(std::uint8_t* buffer, std::size_t count, const TimedReadLimits& limits) override {
        const std::size_t n = inner_->readTimed(buffer, count, limits);
        if (n > 0) trace_->received({buffer, n});
        return n;
    }
    bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) override {
        trace_->sent({data, size});
        const bool written = inner_->writeAll(data, size, limitMs);
        if (!written) trace_->event('>', "(błąd zapisu)");
        return written;
    }
    void discardInput(std::size_t maxBytes) override { inner_->discardInput(maxBytes); }
    bool gone() const override { return inner_->gone(); }
    void setInterrupt(const LinkInterrupt* interrupt) override {
        Transport::setInterrupt(interrupt);
        inner_->setInterrupt(interrupt);
    }
    bool setSpeed(int baud) override {
        const bool changed = inner_->setSpeed(baud);
        trace_->event('=', std::to_string(baud) + (changed ? " bod" : " bod: odmowa"));
        return changed;
    }

private:
    std::unique_ptr<Transport> inner_;
    std::shared_ptr<WireTrace> trace_;
};

} // namespace

std::unique_ptr<Transport> traced(std::unique_ptr<Transport> transport, std::shared_ptr<WireTrace> trace) {
    if (!transport || !trace) return transport;
    return std::make_unique<TracingTransport>(std::move(transport), std::move(trace));
}

} // namespace kavrel::link
