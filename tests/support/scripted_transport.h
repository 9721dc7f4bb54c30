// A scripted stand-in for the platform's transports, for link tests that need only given
// bytes: each command line written queues its scripted reply, handed out one piece per
// read; what was written, drained and switched is recorded. The same tests run on every
// platform because they never touch a device or a socket.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/interval_timer.h"
#include "link/link_interrupt.h"
#include "link/module_link.h"
#include "link/transport.h"

namespace kavrel::testing {

struct TransportScript {
    // The reply pieces queued when the line (without its CR) is written.
    std::map<std::string, std::vector<std::string>> replies;
    // Pieces waiting to be read, one per read.
    std::deque<std::string> input;
    // What open reports.
    bool refuseSerialOpen = false;
    link::OpenFailure serialFailure;    // the reason a refused serial open gives
    bool timeoutsRefused = false;
    link::TcpConnectResult tcpResult = link::TcpConnectResult::Connected;

    // What happened.
    std::vector<std::string> written;   // every write, CR included
    std::vector<std::string> opened;    // "serial DEVICE BAUD" or "tcp ADDRESS:PORT"
    std::vector<int> speeds;
    int discards = 0;
    int closes = 0;
};

class ScriptedTransport : public link::Transport {
public:
    explicit ScriptedTransport(std::shared_ptr<TransportScript> script) : script_(std::move(script)) {}
    ~ScriptedTransport() override { ++script_->closes; }

    link::ReadOutcome readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) override {
        auto& input = script_->input;
        if (input.empty()) {
            // Nothing more is scripted: the wait passes as it would on a silent line.
            if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            return {link::ReadStatus::NoData, 0};
        }
        std::string& piece = input.front();
        const std::size_t n = std::min(maxBytes, piece.size());
        std::copy_n(piece.begin(), n, buffer);
        piece.erase(0, n);
        if (piece.empty()) input.pop_front();
        return {link::ReadStatus::Data, n};
    }
    bool writeAll(const std::uint8_t* data, std::size_t size, int) override {
        const std::string bytes(reinterpret_cast<const char*>(data), size);
        script_->written.push_back(bytes);
        const std::string line = bytes.empty() || bytes.back() != '\r' ? bytes : bytes.substr(0, bytes.size() - 1);
        if (auto it = script_->replies.find(line); it != script_->replies.end())
            script_->input.insert(script_->input.end(), it->second.begin(), it->second.end());
        return true;
    }
    void discardInput(std::size_t) override {
        ++script_->discards;
        script_->input.clear();
    }
    bool setSpeed(int baud) override {
        script_->speeds.push_back(baud);
        return true;
    }

private:
    std::shared_ptr<TransportScript> script_;
};

class ScriptedTransports : public link::TransportFactory {
public:
    explicit ScriptedTransports(std::shared_ptr<TransportScript> script) : script_(std::move(script)) {}

    link::SerialOpenResult openSerial(const link::SerialRequest& request) override {
        script_->opened.push_back("serial " + request.device + " " + std::to_string(request.baud));
        if (script_->refuseSerialOpen) return {nullptr, false, script_->serialFailure};
        return {std::make_unique<ScriptedTransport>(script_), script_->timeoutsRefused, {}};
    }
    link::TcpOpenResult connectTcp(const std::string& address, std::uint16_t port, std::uint32_t,
                                   link::IntervalTimer& timer, const link::LinkInterrupt*) override {
        timer.start();
        script_->opened.push_back("tcp " + address + ":" + std::to_string(port));
        if (script_->tcpResult != link::TcpConnectResult::Connected) return {script_->tcpResult, nullptr, {}};
        return {link::TcpConnectResult::Connected, std::make_unique<ScriptedTransport>(script_), {}};
    }

private:
    std::shared_ptr<TransportScript> script_;
};

// A link of the given variant whose transports follow the script; serial opens are of
// COM `comNumber`, recorded under the device name "COMn".
inline std::shared_ptr<TransportScript> scriptLink(link::ModuleLink& link, int comNumber = 1) {
    auto script = std::make_shared<TransportScript>();
    link.setTransportFactory(std::make_shared<ScriptedTransports>(script));
    link.setConnection(link::Connection::serialPort(comNumber, "COM" + std::to_string(comNumber)));
    return script;
}

} // namespace kavrel::testing
