#include "fleet/metrics/metrics_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>

namespace kavrel::fleet::metrics {
namespace {

constexpr int kRequestWaitMs = 2000;
constexpr std::size_t kRequestMax = 8192;

bool sendAll(int fd, const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

std::string response(const std::string& status, const std::string& type, const std::string& body) {
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

// The request's head, up to its blank line; empty when the client says nothing in time.
std::string readHead(int fd) {
    std::string head;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestWaitMs);
    while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos && head.size() < kRequestMax) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
        char buffer[1024];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        head.append(buffer, static_cast<std::size_t>(n));
    }
    return head;
}

} // namespace

bool parseListenAddress(const std::string& text, std::string& address, std::uint16_t& port) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    address = text.substr(0, colon);
    if (address.front() == '[' && address.back() == ']') address = address.substr(1, address.size() - 2);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data() + colon + 1, text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || colon + 1 == text.size() || value > 65535) return false;
    port = static_cast<std::uint16_t>(value);
    in_addr v4{};
    in6_addr v6{};
    return ::inet_pton(AF_INET, address.c_str(), &v4) == 1 || ::inet_pton(AF_INET6, address.c_str(), &v6) == 1;
}

MetricsServer::MetricsServer(const std::string& address, std::uint16_t port, const MetricsRegistry& registry)
    : registry_(registry) {
    sockaddr_storage where{};
    socklen_t size = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(where);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(where);
    if (::inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        size = sizeof v4;
    } else if (::inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        size = sizeof v6;
    } else {
        error_ = "niepoprawny adres " + address;
        return;
    }
    listenFd_ = ::socket(where.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    if (listenFd_ >= 0) ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&where), size) != 0 || ::listen(listenFd_, 16) != 0 ||
        ::pipe2(wake_, O_CLOEXEC) != 0) {
        error_ = "nie można nasłuchiwać na " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return;
    }
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&where), &size);
    port_ = ntohs(where.ss_family == AF_INET6 ? v6.sin6_port : v4.sin_port);
    thread_ = std::thread([this] { serve(); });
}

MetricsServer::~MetricsServer() {
    if (thread_.joinable()) {
        const char stop = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
        thread_.join();
    }
    for (const int fd : {listenFd_, wake_[0], wake_[1]})
        if (fd >= 0) ::close(fd);
}

void MetricsServer::serve() {
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        // A client that stops reading holds the page up no longer than one that says nothing.
        const timeval limit{kRequestWaitMs / 1000, 0};
        ::setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        answer(client);
        ::close(client);
    }
}

void MetricsServer::answer(int client) {
    const std::string head = readHead(client);
    if (head.empty()) return;
    const std::string line = head.substr(0, head.find_first_of("\r\n"));
    const bool get = line.starts_with("GET "), headOnly = line.starts_with("HEAD ");
    const std::string path = line.substr(line.find(' ') + 1, line.rfind(' ') - line.find(' ') - 1);
    if (!get && !headOnly) {
        sendAll(client, response("405 Method Not Allowed", "text/plain; charset=utf-8", "only GET\n"));
        return;
    }
    if (path != "/metrics" && !path.starts_with("/metrics?")) {
        sendAll(client, response("404 Not Found", "text/plain; charset=utf-8", "the figures are at /metrics\n"));
        return;
    }
    std::string reply = response("200 OK", "text/plain; version=0.0.4; charset=utf-8", registry_.render());
    if (headOnly) reply = reply.substr(0, reply.find("\r\n\r\n") + 4);
    sendAll(client, reply);
}

} // namespace kavrel::fleet::metrics
