#include "link/win32/tcp_client.h"

#include <ws2tcpip.h>

#include <chrono>
#include <thread>

namespace kavrel::link::win32 {
namespace {

constexpr int kWritableWaitMs = 1000;   // each wait for the connection lasts at most 1 s
constexpr int kRetryPauseMs = 100;      // pause before trying a refused connection again

// The module's address, dotted IPv4 or an IPv6 literal (a fleet module whose name resolves
// to IPv6 only), as a socket address; its length, 0 when the text is neither.
int socketAddress(const std::string& text, std::uint16_t port, sockaddr_storage& out) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (::inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = ::htons(port);
        return sizeof(sockaddr_in);
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (::inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = ::htons(port);
        return sizeof(sockaddr_in6);
    }
    return 0;
}
constexpr int kWouldBlock = WSAEWOULDBLOCK; // 10035: the operation is under way

constexpr int kSliceMs = 100;           // with an interrupt, how often a wait looks at its event
constexpr int kInterrupted = -2;

bool eventSet(const LinkInterrupt* interrupt) {
    return interrupt && (interrupt->triggered() ||
                         (interrupt->event() && ::WaitForSingleObject(static_cast<HANDLE>(interrupt->event()), 0) == WAIT_OBJECT_0));
}

// Waits at most waitMs for the socket to become readable (or writable); > 0 when it did,
// kInterrupted when the interrupt (may be null) was triggered first. A connect under way
// that fails is reported by Winsock in the exception set, not as writable: a wait for
// writing ends on that too, and SO_ERROR then tells why.
int waitFor(SOCKET socket, bool forWriting, int waitMs, const LinkInterrupt* interrupt) {
    for (;;) {
        if (eventSet(interrupt)) return kInterrupted;
        const int slice = interrupt && waitMs > kSliceMs ? kSliceMs : waitMs;
        fd_set set;
        FD_ZERO(&set);
        FD_SET(socket, &set);
        fd_set failed = set;
        timeval limit{slice / 1000, (slice % 1000) * 1000};
        const int ready = ::select(0, forWriting ? nullptr : &set, forWriting ? &set : nullptr, forWriting ? &failed : nullptr, &limit);
        if (ready != 0) return ready;
        waitMs -= slice;
        if (waitMs <= 0) return eventSet(interrupt) ? kInterrupted : 0;
    }
}

bool setNonBlocking(SOCKET socket, bool on) {
    u_long argument = on ? 1 : 0;
    return ::ioctlsocket(socket, FIONBIO, &argument) == 0;
}

// One start of Winsock, released when the owner goes unless handed on.
class WinsockStart {
public:
    WinsockStart() {
        WSADATA data;
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockStart() {
        if (started_) ::WSACleanup();
    }
    WinsockStart(const WinsockStart&) = delete;
    WinsockStart& operator=(const WinsockStart&) = delete;
    bool started() const { return started_; }
    void handOn() { started_ = false; }

private:
    bool started_ = false;
};

} // namespace

TcpConnection::~TcpConnection() {
    ::closesocket(socket_);
    ::WSACleanup();
}

ReadOutcome TcpConnection::readSome(std::uint8_t* buffer, std::size_t maxBytes, int waitMs) {
    if (maxBytes == 0) return {ReadStatus::NoData, 0};
    const int ready = waitFor(socket_, false, waitMs < 0 ? 0 : waitMs, interrupt());
    if (ready == kInterrupted) return {ReadStatus::Interrupted, 0};
    if (ready == SOCKET_ERROR) return {ReadStatus::Error, 0};
    if (ready == 0) return {ReadStatus::NoData, 0};
    const int size = maxBytes < 0x7fffffff ? static_cast<int>(maxBytes) : 0x7fffffff;
    const int n = ::recv(socket_, reinterpret_cast<char*>(buffer), size, 0);
    if (n > 0) return {ReadStatus::Data, static_cast<std::size_t>(n)};
    if (n == 0) return {ReadStatus::Closed, 0};
    return {::WSAGetLastError() == kWouldBlock ? ReadStatus::NoData : ReadStatus::Error, 0};
}

bool TcpConnection::writeAll(const std::uint8_t* data, std::size_t size, int limitMs) {
    // The socket stays non-blocking; each part waits for room, so no send outlasts the limit.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (size > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (waitFor(socket_, true, left > 0 ? static_cast<int>(left) : 0, interrupt()) <= 0) return false;
        const int chunk = size < 0x7fffffff ? static_cast<int>(size) : 0x7fffffff;
        const int n = ::send(socket_, reinterpret_cast<const char*>(data), chunk, 0);
        if (n == SOCKET_ERROR && ::WSAGetLastError() == kWouldBlock) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void TcpConnection::discardInput(std::size_t maxBytes) {
    char scratch[4096];
    while (maxBytes > 0) {
        const int chunk = maxBytes < sizeof scratch ? static_cast<int>(maxBytes) : static_cast<int>(sizeof scratch);
        const int n = ::recv(socket_, scratch, chunk, 0);
        if (n <= 0) return;
        maxBytes -= static_cast<std::size_t>(n);
        if (n < chunk) return; // one look: nothing more was waiting
    }
}

TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                         IntervalTimer& timer, const LinkInterrupt* interrupt) {
    WinsockStart winsock;
    if (!winsock.started()) return {TcpConnectResult::NoSocketLibrary, nullptr, {OpenFailureKind::Other, ::WSAGetLastError()}};
    sockaddr_storage address{};
    const int addressLength = socketAddress(dottedAddress, port, address);
    if (addressLength == 0) return {TcpConnectResult::NotConnected, nullptr, {OpenFailureKind::BadAddress, 0}};
    int lastError = 0;   // of the last refused attempt
    const auto notConnected = [&lastError] { return TcpOpenResult{TcpConnectResult::NotConnected, nullptr, tcpLimitPassed(lastError)}; };

    timer.start();
    for (;;) {
        const SOCKET socket = ::socket(address.ss_family, SOCK_STREAM, IPPROTO_TCP);
        if (socket == INVALID_SOCKET) return {TcpConnectResult::NoSocket, nullptr, {OpenFailureKind::Other, ::WSAGetLastError()}};
        if (!setNonBlocking(socket, true)) {
            const int reason = ::WSAGetLastError();
            ::closesocket(socket);
            return {TcpConnectResult::NoNonBlocking, nullptr, {OpenFailureKind::Other, reason}};
        }
        const BOOL one = TRUE;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        // The immediate result is normally WSAEWOULDBLOCK (the connection is under way).
        ::connect(socket, reinterpret_cast<const sockaddr*>(&address), addressLength);

        bool refused = false;
        while (!refused) {
            const std::uint32_t elapsedBefore = timer.elapsedMs();
            const int remaining = timer.remainingMs(limitMs);
            const int ready = waitFor(socket, true, remaining < kWritableWaitMs ? remaining : kWritableWaitMs, interrupt);
            if (ready == kInterrupted) {
                ::closesocket(socket);
                return {TcpConnectResult::NotConnected, nullptr, {}};
            }
            if (ready > 0) {
                int error = 0;
                int length = sizeof error;
                ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
                if (error == 0) {
                    winsock.handOn();
                    auto connection = std::make_unique<TcpConnection>(socket);
                    connection->setInterrupt(interrupt);
                    return {TcpConnectResult::Connected, std::move(connection), {}};
                }
                lastError = error;
                refused = true;
            } else if (ready == SOCKET_ERROR) {
                lastError = ::WSAGetLastError();
                refused = true;
            }
            if (elapsedBefore >= limitMs || timer.elapsedMs() >= limitMs) {
                ::closesocket(socket);
                return notConnected();
            }
        }
        ::closesocket(socket);
        // A refused attempt is made again until the limit, as a module whose server is just
        // starting is still reached; refusal alone never ends the wait early.
        const int pause = timer.remainingMs(limitMs) < kRetryPauseMs ? timer.remainingMs(limitMs) : kRetryPauseMs;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        if (eventSet(interrupt)) return {TcpConnectResult::NotConnected, nullptr, {}};
        if (timer.elapsedMs() >= limitMs) return notConnected();
    }
}

} // namespace kavrel::link::win32
