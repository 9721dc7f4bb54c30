#include "link/posix/tcp_client.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "link/posix/fd_transport.h"

namespace kavrel::link::posix {
namespace {

constexpr int kWritableWaitMs = 1000;   // each wait for the connection lasts at most 1 s
constexpr int kRetryPauseMs = 100;      // pause before trying a refused connection again

// The module's address, dotted IPv4 or an IPv6 literal (a fleet module whose name resolves
// to IPv6 only), as a socket address; its length, 0 when the text is neither.
int socketAddress(const std::string& text, std::uint16_t port, sockaddr_storage& out) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&out);
    if (::inet_pton(AF_INET, text.c_str(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        return sizeof(sockaddr_in);
    }
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&out);
    if (::inet_pton(AF_INET6, text.c_str(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        return sizeof(sockaddr_in6);
    }
    return 0;
}

} // namespace

TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                         IntervalTimer& timer, const LinkInterrupt* interrupt) {
    sockaddr_storage address{};
    const int addressLength = socketAddress(dottedAddress, port, address);
    if (addressLength == 0) return {TcpConnectResult::NotConnected, nullptr, {OpenFailureKind::BadAddress, 0}};
    int lastError = 0;   // of the last refused attempt
    const auto notConnected = [&lastError] { return TcpOpenResult{TcpConnectResult::NotConnected, nullptr, tcpLimitPassed(lastError)}; };

    timer.start();
    for (;;) {
        const int fd = ::socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) return {TcpConnectResult::NoSocket, nullptr, {OpenFailureKind::Other, errno}};
        auto socket = std::make_unique<FdTransport>(fd, true);
        const int flags = ::fcntl(fd, F_GETFL, 0);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
            return {TcpConnectResult::NoNonBlocking, nullptr, {OpenFailureKind::Other, errno}};
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // command lines go out at once
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), static_cast<socklen_t>(addressLength));

        bool refused = false;
        while (!refused) {
            const std::uint32_t elapsedBefore = timer.elapsedMs();
            const int remaining = timer.remainingMs(limitMs);
            const int ready =
                waitFor(fd, POLLOUT, remaining < kWritableWaitMs ? (remaining > 0 ? remaining : 0) : kWritableWaitMs, interrupt);
            if (ready == kWaitInterrupted) return {TcpConnectResult::NotConnected, nullptr, {}};
            if (ready > 0) {
                int error = 0;
                socklen_t length = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
                if (error == 0) {
                    socket->setInterrupt(interrupt);
                    return {TcpConnectResult::Connected, std::move(socket), {}};
                }
                lastError = error;
                refused = true;
            } else if (ready < 0) {
                lastError = errno;
                refused = true;
            }
            if (elapsedBefore >= limitMs || timer.elapsedMs() >= limitMs) return notConnected();
        }
        const int pause = timer.remainingMs(limitMs) < kRetryPauseMs ? timer.remainingMs(limitMs) : kRetryPauseMs;
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        if (interrupted(interrupt)) return {TcpConnectResult::NotConnected, nullptr, {}};
        if (timer.elapsedMs() >= limitMs) return notConnected();
    }
}

} // namespace kavrel::link::posix
