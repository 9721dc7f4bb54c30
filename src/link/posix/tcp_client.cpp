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

} // namespace

TcpOpenResult connectTcp(const std::string& dottedAddress, std::uint16_t port, std::uint32_t limitMs,
                         IntervalTimer& timer, const LinkInterrupt* interrupt) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    if (::inet_pton(AF_INET, dottedAddress.c_str(), &address.sin_addr) != 1)
        return {TcpConnectResult::NotConnected, nullptr, {OpenFailureKind::BadAddress, 0}};
    int lastError = 0;   // of the last refused attempt
    const auto notConnected = [&lastError] { return TcpOpenResult{TcpConnectResult::NotConnected, nullptr, tcpLimitPassed(lastError)}; };

    timer.start();
    for (;;) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
        if (fd < 0) return {TcpConnectResult::NoSocket, nullptr, {OpenFailureKind::Other, errno}};
        auto socket = std::make_unique<FdTransport>(fd, true);
        const int flags = ::fcntl(fd, F_GETFL, 0);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
            return {TcpConnectResult::NoNonBlocking, nullptr, {OpenFailureKind::Other, errno}};
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // command lines go out at once
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);

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
