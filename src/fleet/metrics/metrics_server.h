// The metrics endpoint: a small HTTP server of our own on its own thread, answering
// "GET /metrics" with the registry's page and anything else with 404. One request at a
// time, each with a short time limit, so a client that connects and says nothing holds the
// page up for a moment at most and the poll loop never.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "fleet/metrics/metrics_registry.h"

namespace kavrel::fleet::metrics {

// "ADDRESS:PORT" or "[IPV6]:PORT" (ADDRESS numeric, port 0 for any free one); false when it
// is not such a text.
bool parseListenAddress(const std::string& text, std::string& address, std::uint16_t& port);

class MetricsServer {
public:
    // Listens at once; check error() (the address taken, not an address of this computer).
    MetricsServer(const std::string& address, std::uint16_t port, const MetricsRegistry& registry);
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    const std::string& error() const { return error_; }
    // The port listened on (the one chosen when 0 was asked for).
    std::uint16_t port() const { return port_; }

private:
    void serve();
    void answer(int client);

    const MetricsRegistry& registry_;
    std::string error_;
    std::uint16_t port_ = 0;
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

} // namespace kavrel::fleet::metrics
