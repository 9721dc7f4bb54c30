#include "link/trace_transport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kavrel::link {
namespace {

bool traceAsked() {
    const char* value = std::getenv(kTraceVariable);
    return value && *value && std::strcmp(value, "0") != 0;
}

class TracingTransport final : public Transport {
public:
    explicit TracingTransport(std::unique_ptr<Transport> inner) : inner_(std::move(inner)) {}

    ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override {
        const ReadOutcome r = inner_->readSome(buffer, maxBytes, waitMs);
        if (r.status == ReadStatus::Data) show('<', buffer, r.count);
        else if (r.status == ReadStatus::Closed) note("< (connection closed)");
        else if (r.status == ReadStatus::Error) note("< (read error)");
        else if (r.status == ReadStatus::Interrupted) note("< (wait interrupted)");
        return r;
    }
    std::size_t readTimed(std::uint8_t* buffer, std::size_t count, const TimedReadLimits& limits) override {
        const std::size_t n = inner_->readTimed(buffer, count, limits);
        if (n > 0) show('<', buffer, n);
        return n;
    }
    bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) override {
        show('>', data, size);
        const bool written = inner_->writeAll(data, size, limitMs);
        if (!written) note("> (write failed)");
        return written;
    }
    void discardInput(std::size_t maxBytes) override { inner_->discardInput(maxBytes); }
    bool gone() const override { return inner_->gone(); }
    void setInterrupt(const LinkInterrupt* interrupt) override {
        Transport::setInterrupt(interrupt);
        inner_->setInterrupt(interrupt);
    }
    bool setSpeed(int baud) override {
        note(("= " + std::to_string(baud) + " baud").c_str());
        return inner_->setSpeed(baud);
    }

private:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }
    void note(const char* text) const { std::fprintf(stderr, "kavrel-trace %8.3f %s\n", seconds(), text); }
    void show(char direction, const std::uint8_t* data, std::size_t size) const {
        std::string line(1, direction);
        line += ' ';
        for (std::size_t i = 0; i < size; ++i) {
            const std::uint8_t byte = data[i];
            if (byte == '\r') line += "\\r";
            else if (byte == '\n') line += "\\n";
            else if (byte == '\t') line += "\\t";
            else if (byte == '\\') line += "\\\\";
            else if (byte >= 0x20 && byte < 0x7F) line += static_cast<char>(byte);
            else {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                line += escaped;
            }
        }
        note(line.c_str());
    }

    std::unique_ptr<Transport> inner_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace

std::unique_ptr<Transport> traceWhenAsked(std::unique_ptr<Transport> transport) {
    if (!transport || !traceAsked()) return transport;
    return std::make_unique<TracingTransport>(std::move(transport));
}

} // namespace kavrel::link
