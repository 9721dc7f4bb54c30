#include "fleet/http_post.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace kavrel::fleet {
namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point until) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool waitFor(int fd, short events, Clock::time_point until) {
    pollfd p{fd, events, 0};
    int ready = 0;
    do ready = ::poll(&p, 1, msLeft(until));
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

// A non-blocking socket connected to the host within the limit; -1 with the reason.
int connectTo(const std::string& host, int port, Clock::time_point until, std::string& failure) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        failure = "nieznany adres " + host;
        return -1;
    }
    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd >= 0 && ::connect(fd, found->ai_addr, found->ai_addrlen) != 0 && errno != EINPROGRESS) {
        failure = std::strerror(errno);
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    if (fd < 0) return -1;
    int error = 0;
    socklen_t size = sizeof error;
    if (!waitFor(fd, POLLOUT, until) || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        failure = error ? std::strerror(error) : "brak połączenia w wyznaczonym czasie";
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

HttpReply httpPost(const std::string& host, int port, const std::string& target, const std::string& body, int timeoutMs) {
    HttpReply reply;
    const Clock::time_point until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const int fd = connectTo(host, port, until, reply.failure);
    if (fd < 0) return reply;
    const std::string request = "POST " + target + " HTTP/1.1\r\nHost: " + host + ":" + std::to_string(port) +
                                "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    for (std::size_t sent = 0; sent < request.size();) {
        if (!waitFor(fd, POLLOUT, until)) {
            reply.failure = "serwer nie przyjął danych w wyznaczonym czasie";
            ::close(fd);
            return reply;
        }
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            reply.failure = std::strerror(errno);
            ::close(fd);
            return reply;
        }
        if (n > 0) sent += static_cast<std::size_t>(n);
    }
    // Connection: close: the answer ends where the server closes.
    std::string answer;
    char chunk[4096];
    while (waitFor(fd, POLLIN, until)) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) break;
        answer.append(chunk, static_cast<std::size_t>(n));
        if (answer.size() > (1u << 20)) break;   // a reason needs no more
    }
    ::close(fd);
    int status = 0;
    if (answer.rfind("HTTP/1.", 0) != 0 || std::sscanf(answer.c_str(), "HTTP/1.%*d %d", &status) != 1) {
        reply.failure = "brak odpowiedzi HTTP w wyznaczonym czasie";
        return reply;
    }
    reply.answered = true;
    reply.status = status;
    if (const std::size_t at = answer.find("\r\n\r\n"); at != std::string::npos) reply.body = answer.substr(at + 4);
    return reply;
}

} // namespace kavrel::fleet
