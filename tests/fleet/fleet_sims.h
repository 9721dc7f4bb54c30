// Simulated modules for the fleet tests: each on its own loopback port and thread, and the
// fleet list that names them, plus an address where nothing listens (a refusing module).
#pragma once

#include <arpa/inet.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/poll_sink.h"
#include "support/child_process.h"
#include "support/sim_fixture.h"

namespace kavrel::testing {

class FleetSims {
public:
    // Adds a module served by a simulator with these options.
    void add(const std::string& name, sim::SimOptions options = {}) {
        sims_.push_back(std::make_unique<SimFixture>(std::move(options)));
        addEntry(name, static_cast<std::uint16_t>(sims_.back()->port()));
    }
    // Adds a module served by a simulator listening on `listenAddress` ("::1" for IPv6) and
    // named in the fleet by `host` (a name, or the IPv6 address itself).
    void addAt(const std::string& name, const std::string& host, const std::string& listenAddress) {
        sims_.push_back(std::make_unique<SimFixture>(sim::SimOptions{}, 0, listenAddress));
        addEntry(name, static_cast<std::uint16_t>(sims_.back()->port()));
        modules_.back().host = host;
        modules_.back().address = 0;
    }
    // Adds a module whose host name does not exist.
    void addUnknownName(const std::string& name) {
        addEntry(name, 23);
        modules_.back().host = "no-such-module.invalid";
        modules_.back().address = 0;
    }
    // Adds a module whose address refuses connections.
    void addRefusing(const std::string& name) { addEntry(name, closedPort()); }

    const std::vector<fleet::FleetModule>& modules() const { return modules_; }
    // The simulator of the i-th module added with add() or addAt().
    SimFixture& sim(std::size_t i) { return *sims_.at(i); }

private:
    void addEntry(const std::string& name, std::uint16_t port) {
        fleet::FleetModule module;
        module.name = name;
        module.host = "127.0.0.1";
        module.port = port;
        module.address = htonl(INADDR_LOOPBACK);
        modules_.push_back(module);
    }
    std::vector<std::unique_ptr<SimFixture>> sims_;
    std::vector<fleet::FleetModule> modules_;
};

// Keeps every record and counts the rounds; safe to read after the run.
class RecordingSink final : public fleet::PollSink {
public:
    void record(const fleet::PollRecord& r) override {
        std::lock_guard lock(mutex_);
        records.push_back(r);
    }
    void endRound() override { ++rounds; }
    void finish() override {}

    std::vector<fleet::PollRecord> of(std::size_t module) const {
        std::vector<fleet::PollRecord> out;
        for (const auto& r : records)
            if (r.module == module) out.push_back(r);
        return out;
    }

    std::vector<fleet::PollRecord> records;
    int rounds = 0;

private:
    std::mutex mutex_;
};

} // namespace kavrel::testing
