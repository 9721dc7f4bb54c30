// A simulated module in the test's own process, on an OS-assigned loopback port and on a
// pseudo-terminal, with faults switched on per test.
#pragma once

#include <memory>
#include <string>

#include "link/module_link.h"
#include "sim/module.h"
#include "sim/server.h"

namespace kavrel::testing {

// Every serial test runs in both timings: replies ended at their frame, and at the pause.
inline constexpr link::SerialTiming kBothSerialTimings[] = {link::SerialTiming::Fast, link::SerialTiming::Gap};

inline const char* timingName(link::SerialTiming timing) { return timing == link::SerialTiming::Fast ? "fast" : "gap"; }

class SimFixture {
public:
    // tcpPort: 0 for any free one; a given one brings a module back where one was stopped.
    // address: the loopback address listened on ("::1" for IPv6).
    explicit SimFixture(sim::SimOptions options = {}, int tcpPort = 0, const std::string& address = "127.0.0.1")
        : module_(std::move(options)), server_(module_) {
        port_ = server_.listenTcp(address, tcpPort);
        ptyPath_ = server_.openPty();
        server_.start();
    }

    int port() const { return port_; }
    const std::string& ptyPath() const { return ptyPath_; }
    sim::SimModule& module() { return module_; }

    void setFaults(const sim::LinkFaults& faults) { module_.setFaults(faults); }
    // From now on the serial side is opened through a symbolic link at `path`, which follows
    // the pseudo-terminal when a cut link replaces it.
    void linkPty(const std::string& path) {
        server_.linkPty(path);
        ptyPath_ = path;
    }

    // The simulator over TCP.
    link::Connection tcp(link::SerialTiming timing = link::SerialTiming::Fast) const {
        return link::Connection::tcp("127.0.0.1", static_cast<std::uint32_t>(port_), timing);
    }
    // The simulator's pseudo-terminal as COM `comNumber`.
    link::Connection serial(link::SerialTiming timing = link::SerialTiming::Fast, int comNumber = 1) const {
        return link::Connection::serialPort(comNumber, ptyPath_, timing);
    }
    // Points a link at the simulator over TCP.
    void useTcp(link::ModuleLink& link) const { link.setConnection(tcp()); }
    // Points a link at the simulator's pseudo-terminal.
    void useSerial(link::ModuleLink& link, link::SerialTiming timing = link::SerialTiming::Fast) const {
        link.setConnection(serial(timing));
    }

private:
    sim::SimModule module_;
    sim::SimServer server_;
    int port_ = -1;
    std::string ptyPath_;
};

} // namespace kavrel::testing
