// The Windows transports through the platform's own factory: Winsock over real loopback
// connections, the COM port names, and a device that refuses the serial time-outs.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <string>
#include <thread>

#include "common/win1250.h"
#include "link/ports/port_access.h"
#include "link/ports/serial_device.h"
#include "link/transport.h"

using namespace kavrel::link;
using kavrel::W;

namespace {

// A listening loopback socket on a port the system chose.
class LoopbackServer {
public:
    LoopbackServer() {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 1);
        int length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ::ntohs(address.sin_port);
    }
    ~LoopbackServer() {
        if (peer_ != INVALID_SOCKET) ::closesocket(peer_);
        if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
        ::WSACleanup();
    }
    std::uint16_t port() const { return port_; }
    // Closes the listener, so that connections to its port are refused.
    void stopListening() {
        ::closesocket(listener_);
        listener_ = INVALID_SOCKET;
    }
    SOCKET accept() { return peer_ = ::accept(listener_, nullptr, nullptr); }
    void closePeer() {
        ::closesocket(peer_);
        peer_ = INVALID_SOCKET;
    }
    std::string receive(std::size_t count) {
        std::string text;
        char buffer[256];
        while (text.size() < count) {
            const int n = ::recv(peer_, buffer, static_cast<int>(std::min(count - text.size(), sizeof buffer)), 0);
            if (n <= 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
        }
        return text;
    }
    void send(const std::string& text) { ::send(peer_, text.data(), static_cast<int>(text.size()), 0); }

private:
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET peer_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
};

std::string text(const std::uint8_t* bytes, std::size_t count) { return {reinterpret_cast<const char*>(bytes), count}; }

} // namespace

TEST(Win32Tcp, BytesGoBothWaysAndAClosedPeerIsSeen) {
    LoopbackServer server;
    IntervalTimer timer;
    TcpOpenResult opened = platformTransports()->connectTcp("127.0.0.1", server.port(), 5000, timer, nullptr);
    ASSERT_EQ(opened.result, TcpConnectResult::Connected);
    ASSERT_NE(server.accept(), INVALID_SOCKET);
    Transport& link = *opened.connection;

    std::uint8_t buffer[64];
    EXPECT_EQ(link.readSome(buffer, sizeof buffer, 0).status, ReadStatus::NoData) << "nothing waiting";

    const std::string command = "VER?\r";
    ASSERT_TRUE(link.writeAll(reinterpret_cast<const std::uint8_t*>(command.data()), command.size(), 5000));
    EXPECT_EQ(server.receive(command.size()), command);

    server.send("stare\r");
    ASSERT_EQ(link.readSome(buffer, sizeof buffer, 2000).status, ReadStatus::Data);
    server.send("OK\rV3.6EL\r");
    std::string reply;
    while (reply.size() < 10) {
        const ReadOutcome r = link.readSome(buffer, sizeof buffer, 2000);
        ASSERT_EQ(r.status, ReadStatus::Data);
        reply += text(buffer, r.count);
    }
    EXPECT_EQ(reply, "OK\rV3.6EL\r");

    server.closePeer();
    ReadOutcome last{};
    for (int i = 0; i < 5 && last.status != ReadStatus::Closed; ++i) last = link.readSome(buffer, sizeof buffer, 1000);
    EXPECT_EQ(last.status, ReadStatus::Closed);
}

TEST(Win32Tcp, RefusedConnectionEndsWithResultOneAtTheLimit) {
    LoopbackServer server;
    const std::uint16_t port = server.port();
    server.stopListening();
    IntervalTimer timer;
    const TcpOpenResult opened = platformTransports()->connectTcp("127.0.0.1", port, 1000, timer, nullptr);
    EXPECT_EQ(opened.result, TcpConnectResult::NotConnected);
    EXPECT_EQ(opened.connection, nullptr);
    EXPECT_GE(timer.elapsedMs(), 1000u) << "a refusal does not end the wait early";
    EXPECT_LT(timer.elapsedMs(), 4000u);

    EXPECT_EQ(opened.failure.kind, OpenFailureKind::Refused) << opened.failure.code;

    const TcpOpenResult noAddress = platformTransports()->connectTcp("not.an.address", port, 1000, timer, nullptr);
    EXPECT_EQ(noAddress.result, TcpConnectResult::NotConnected);
    EXPECT_EQ(noAddress.failure.kind, OpenFailureKind::BadAddress);
}

TEST(Win32Tcp, TheInterruptEndsAWaitForASilentPeerAndARefusedConnect) {
    LoopbackServer server;
    IntervalTimer timer;
    LinkInterrupt interrupt;
    TcpOpenResult opened = platformTransports()->connectTcp("127.0.0.1", server.port(), 5000, timer, &interrupt);
    ASSERT_EQ(opened.result, TcpConnectResult::Connected);
    ASSERT_NE(server.accept(), INVALID_SOCKET);
    std::thread trigger([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        interrupt.trigger();
    });
    std::uint8_t buffer[16];
    timer.start();
    EXPECT_EQ(opened.connection->readSome(buffer, sizeof buffer, 10000).status, ReadStatus::Interrupted);
    EXPECT_LT(timer.elapsedMs(), 2000u) << "the silent peer is waited for 10 s otherwise";
    trigger.join();

    // A connect started after the trigger gives up at once.
    server.stopListening();
    const TcpOpenResult refused = platformTransports()->connectTcp("127.0.0.1", server.port(), 5000, timer, &interrupt);
    EXPECT_EQ(refused.result, TcpConnectResult::NotConnected);
    EXPECT_LT(timer.elapsedMs(), 1000u);
}

TEST(Win32Serial, EveryPortNumberUsesTheDeviceNamespace) {
    EXPECT_EQ(serialDevicePath(1), "\\\\.\\COM1");
    EXPECT_EQ(serialDevicePath(9), "\\\\.\\COM9");
    EXPECT_EQ(serialDevicePath(12), "\\\\.\\COM12");
    EXPECT_EQ(serialDevicePath(255), "\\\\.\\COM255");
}

TEST(Win32Serial, MissingPortIsNotOpened) {
    SerialRequest request;
    request.device = serialDevicePath(241);
    request.timeouts = {500, 10, 5000, 10, 600};
    const SerialOpenResult opened = platformTransports()->openSerial(request);
    EXPECT_EQ(opened.port, nullptr);
    EXPECT_EQ(opened.failure.kind, OpenFailureKind::NoDevice) << opened.failure.code;
    EXPECT_EQ(openFailureReason(opened.failure, request.device), W("Nie ma urządzenia \\\\.\\COM241"));
    EXPECT_EQ(portAccess(request.device), PortAccess::Absent);
}

TEST(Win32Serial, DeviceThatRefusesTheTimeoutsStaysOpenAndSaysSo) {
    // The null device opens like a port but is no communications device: the driver
    // refuses the time-outs, and the port is used as it is.
    SerialRequest request;
    request.device = "\\\\.\\NUL";
    request.timeouts = {500, 10, 5000, 10, 600};
    SerialOpenResult opened = platformTransports()->openSerial(request);
    ASSERT_NE(opened.port, nullptr);
    EXPECT_TRUE(opened.timeoutsRefused);
    const std::uint8_t line[] = {'V', 'E', 'R', '?', '\r'};
    EXPECT_TRUE(opened.port->writeAll(line, sizeof line, 650));
}
