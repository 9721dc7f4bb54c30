// Reading and writing (with verification) a fully populated configuration through a
// pseudo-terminal that the simulator paces at 9600 baud, with serial replies ended at their
// frame (fast) and at the 500 ms pause (gap). For each run it prints the time, the bytes
// moved each way, and wire_ratio: the line's own time for those bytes (bytes x 10 / 9600)
// divided by the measured time, the share of the line's capacity the exchange used.
#include <algorithm>
#include <chrono>
#include <functional>
#include <cstdio>
#include <string>

#include "config/model/field_table.h"
#include "config/model/settings_image.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/write_settings.h"
#include "quiet_observer.h"
#include "support/sim_fixture.h"

namespace {

using namespace kavrel;
using kavrel::bench::QuietObserver;

constexpr int kLineBaud = 9600;
constexpr double kBitsPerByte = 10.0;  // start, eight data bits, stop

struct Counts {
    std::size_t sent = 0;
    std::size_t received = 0;
};

// The platform's transport with every byte counted.
class CountingTransport final : public link::Transport {
public:
    CountingTransport(std::unique_ptr<link::Transport> inner, Counts& counts) : inner_(std::move(inner)), counts_(counts) {}
    link::ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override {
        const link::ReadOutcome r = inner_->readSome(buffer, maxBytes, waitMs);
        counts_.received += r.count;
        return r;
    }
    bool writeAll(const std::uint8_t* data, std::size_t size, int limitMs) override {
        counts_.sent += size;
        return inner_->writeAll(data, size, limitMs);
    }
    void discardInput(std::size_t maxBytes) override { inner_->discardInput(maxBytes); }
    bool setSpeed(int baud) override { return inner_->setSpeed(baud); }

private:
    std::unique_ptr<link::Transport> inner_;
    Counts& counts_;
};

class CountingTransports final : public link::TransportFactory {
public:
    explicit CountingTransports(Counts& counts) : counts_(counts) {}
    link::SerialOpenResult openSerial(const link::SerialRequest& request) override {
        link::SerialOpenResult opened = platform_->openSerial(request);
        if (opened.port) opened.port = std::make_unique<CountingTransport>(std::move(opened.port), counts_);
        return opened;
    }
    link::TcpOpenResult connectTcp(const std::string& address, std::uint16_t port, std::uint32_t limitMs,
                                   link::IntervalTimer& timer, const link::LinkInterrupt* interrupt) override {
        return platform_->connectTcp(address, port, limitMs, timer, interrupt);
    }

private:
    std::shared_ptr<link::TransportFactory> platform_ = link::platformTransports();
    Counts& counts_;
};

// Every text field filled to its last byte (texts without spaces, as the module's lines
// separate assignments by spaces), and every optional block switched on.
config::SettingsImage fullConfiguration() {
    using namespace config;
    SettingsImage image;
    for (const FieldInfo& row : fieldTable()) {
        for (int n = row.first; n <= row.last(); ++n) {
            if (row.kind == FieldKind::Text) {
                std::string text;
                const bool phone = row.id == Field::Num || row.id == Field::NumExt;
                for (std::size_t i = 0; i + 1 < row.size; ++i)
                    text += phone ? static_cast<char>('0' + (i + n) % 10) : static_cast<char>('a' + (i + n) % 26);
                if (phone) text[0] = '+';
                image.setText(row.id, n, text);
            }
        }
    }
    // Extended lines and HTTP reports switched on, so that their blocks are written too.
    image.setByte(Field::Mcfg2, 0x01);
    image.setByte(Field::Thtp, 12);
    return image;
}

struct Run {
    double seconds = -1;
    Counts counts;
};

void print(const char* what, const char* timing, const Run& run) {
    const double bytes = static_cast<double>(run.counts.sent + run.counts.received);
    const double wireSeconds = bytes * kBitsPerByte / kLineBaud;
    std::printf("%-22s %-5s %8.2f s  sent %6zu B  received %6zu B  wire %6.2f s  wire_ratio %5.1f %%\n", what, timing,
                run.seconds, run.counts.sent, run.counts.received, wireSeconds,
                run.seconds > 0 ? 100.0 * wireSeconds / run.seconds : 0.0);
    std::fflush(stdout);
}

} // namespace

int main() {
    const config::SettingsImage full = fullConfiguration();
    std::printf("config_bench: Kavrel V3.6EL, every text field filled, pseudo-terminal paced at %d baud\n", kLineBaud);
    for (const auto timing : testing::kBothSerialTimings) {
        sim::SimOptions options;
        options.versionText = "Kavrel V3.6EL";
        options.baud = kLineBaud;
        testing::SimFixture sim(options);
        QuietObserver observer;
        const FixedClock noPauses;   // a corrective re-send's pauses are not part of the figures

        // One operation on a link of its own through the paced terminal, its time and bytes.
        const auto timed = [&](const char* what, Run& run, const std::function<config::ConfigResult(link::ModuleLink&)>& operation) {
            link::ModuleLink link(link::LinkVariant::configurator());
            sim.useSerial(link, timing);
            link.setTransportFactory(std::make_shared<CountingTransports>(run.counts));
            const auto started = std::chrono::steady_clock::now();
            const config::ConfigResult result = operation(link);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            run.seconds = result == config::ConfigResult::Ok ? seconds : -1;
            if (result != config::ConfigResult::Ok)
                std::printf("%s failed (%d): %s\n", what, toInt(result), observer.last.c_str());
        };

        Run write;
        config::SettingsImage readBack;
        timed("write", write, [&](link::ModuleLink& link) {
            return config::writeSettings(link, full, readBack, {}, observer, {noPauses});
        });
        print("write with verification", testing::timingName(timing), write);

        Run read;
        config::SettingsImage image;
        timed("read", read, [&](link::ModuleLink& link) { return config::readSettings(link, image, observer); });
        {
            int differing = 0;
            for (const config::FieldInfo& row : config::fieldTable())
                for (int n = row.first; n <= row.last(); ++n)
                    if (row.kind == config::FieldKind::Text && image.text(row.id, n) != full.text(row.id, n)) ++differing;
            if (differing > 0) std::printf("read: %d text fields differ from what was written\n", differing);
        }
        print("read", testing::timingName(timing), read);
    }
    return 0;
}
