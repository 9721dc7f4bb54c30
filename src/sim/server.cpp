#include "sim/server.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace kavrel::sim {
namespace {

constexpr int kWriteStallLimitMs = 3000; // a reader that takes nothing for this long is given up
constexpr int kTrailingDelayMs = 3;      // trailing bytes come this long after the "OK" line

bool endsWithOk(const std::string& bytes) { return bytes.size() >= 3 && bytes.compare(bytes.size() - 3, 3, "OK\r") == 0; }

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK); }

void sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool startsWithAny(const std::string& line, const std::vector<std::string>& prefixes) {
    for (const auto& prefix : prefixes)
        if (!prefix.empty() && line.compare(0, prefix.size(), prefix) == 0) return true;
    return false;
}

} // namespace

SimServer::SimServer(SimModule& module) : module_(module), random_(module.options().seed) {
    if (::pipe(wakePipe_) == 0) {
        setNonBlocking(wakePipe_[0]);
        setNonBlocking(wakePipe_[1]);
    }
}

SimServer::~SimServer() {
    stop();
    for (auto& [fd, connection] : connections_) ::close(fd);
    // The terminal's master is one of the connections: closed once, above.
    if (ptyMaster_ >= 0 && !connections_.count(ptyMaster_)) ::close(ptyMaster_);
    for (int fd : {listenFd_, ptySlaveKeepalive_, wakePipe_[0], wakePipe_[1]})
        if (fd >= 0) ::close(fd);
}

int SimServer::listenTcp(const std::string& address, int port) {
    // A numeric IPv4 or IPv6 address ("127.0.0.1", "::1").
    sockaddr_storage where{};
    socklen_t length = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(where);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(where);
    if (::inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof v4;
    } else if (::inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<std::uint16_t>(port));
        length = sizeof v6;
    } else {
        return -1;
    }
    const int fd = ::socket(where.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&where), length) != 0 || ::listen(fd, 4) != 0) {
        ::close(fd);
        return -1;
    }
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&where), &length);
    setNonBlocking(fd);
    listenFd_ = fd;
    listenAddress_ = address;
    listenPort_ = ntohs(where.ss_family == AF_INET6 ? v6.sin6_port : v4.sin_port);
    return listenPort_;
}

std::string SimServer::openPty() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        ::close(master);
        return {};
    }
    const char* name = ::ptsname(master);
    std::string path = name ? name : "";
    const int slave = path.empty() ? -1 : ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        ::close(master);
        return {};
    }
    termios tio{};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slave, TCSANOW, &tio);
    setNonBlocking(master);
    ptyMaster_ = master;
    ptySlaveKeepalive_ = slave;
    Connection connection;
    connection.session.framing = Framing::Serial;
    if (module_.options().baud > 0) connection.session.baud = module_.options().baud;
    connection.isPty = true;
    connections_[master] = connection;
    return path;
}

void SimServer::linkPty(const std::string& path) {
    ptyLink_ = path;
    const char* name = ptyMaster_ >= 0 ? ::ptsname(ptyMaster_) : nullptr;
    if (!name) return;
    // Made beside and renamed over: a program opening the link never finds it missing.
    const std::string fresh = path + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(name, fresh.c_str()) == 0) ::rename(fresh.c_str(), path.c_str());
}

void SimServer::start() {
    stopRequested_ = false;
    thread_ = std::thread([this] { run(stopRequested_); });
}

void SimServer::stop() {
    stopRequested_ = true;
    if (wakePipe_[1] >= 0) {
        const char wake = 1;
        [[maybe_unused]] auto n = ::write(wakePipe_[1], &wake, 1);
    }
    if (thread_.joinable()) thread_.join();
}

void SimServer::followListenerCut() {
    const LinkFaults& f = module_.options().faults;
    if (f.cutListenersForMs <= 0 || listenAddress_.empty()) return;
    const auto elapsed = std::chrono::steady_clock::now() - started_;
    const bool inside = elapsed >= std::chrono::milliseconds(f.cutListenersAfterMs) &&
                        elapsed < std::chrono::milliseconds(f.cutListenersAfterMs + f.cutListenersForMs);
    if (inside && !listenersCut_) {
        listenersCut_ = true;
        ::close(listenFd_);
        listenFd_ = -1;
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (it->second.isPty) {
                ++it;
                continue;
            }
            ::close(it->first);
            it = connections_.erase(it);
        }
    } else if (!inside && listenersCut_) {
        listenersCut_ = false;
        listenTcp(listenAddress_, listenPort_);
    }
}

void SimServer::run(const std::atomic<bool>& stopFlag) {
    started_ = std::chrono::steady_clock::now();
    while (!stopFlag) {
        followListenerCut();
        std::vector<pollfd> fds;
        fds.push_back({wakePipe_[0], POLLIN, 0});
        if (listenFd_ >= 0) fds.push_back({listenFd_, POLLIN, 0});
        for (const auto& [fd, connection] : connections_) fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 200) <= 0) continue;
        for (const pollfd& p : fds) {
            if (!p.revents) continue;
            if (p.fd == wakePipe_[0]) {
                char drain[16];
                while (::read(wakePipe_[0], drain, sizeof drain) > 0) {}
            } else if (p.fd == listenFd_) {
                acceptClient();
            } else if (auto it = connections_.find(p.fd); it != connections_.end()) {
                if (!serve(p.fd, it->second)) {
                    ::close(p.fd);
                    if (p.fd == ptyMaster_) ptyMaster_ = -1;
                    connections_.erase(it);
                    if (ptyCut_) {
                        // The terminal is gone for whoever held it open; the next one
                        // comes up under the same link.
                        ptyCut_ = false;
                        ::close(ptySlaveKeepalive_);
                        ptySlaveKeepalive_ = -1;
                        openPty();
                        if (!ptyLink_.empty()) linkPty(ptyLink_);
                    }
                }
            }
        }
    }
}

void SimServer::acceptClient() {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) return;
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    connections_[fd] = Connection{};
}

bool SimServer::serve(int fd, Connection& connection) {
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return errno == EAGAIN || errno == EINTR || (connection.isPty && errno == EIO);
    if (n == 0) return connection.isPty;
    for (ssize_t i = 0; i < n; ++i) {
        const char c = buffer[i];
        if (c == '\n') continue;
        if (c != '\r') {
            // A line longer than any command is noise; keep only its end.
            if (connection.pending.size() < 65536) connection.pending += c;
            continue;
        }
        const std::string line = std::move(connection.pending);
        connection.pending.clear();
        // A paced line is paced both ways: the module answers once the line, CR included,
        // would have come in over the wire (a pseudo-terminal hands it over at once).
        if (connection.isPty && module_.options().baud > 0 && connection.session.baud > 0)
            std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(line.size() + 1) * 10'000'000 /
                                                                  connection.session.baud));
        const Answer answer = module_.answer(line, connection.session);
        if (!sendAnswer(fd, connection, line, answer)) return false;
    }
    return true;
}

bool SimServer::sendAnswer(int fd, Connection& connection, const std::string& line, const Answer& answer) {
    if (answer.cut) {
        if (connection.isPty) {
            ptyCut_ = true;
        } else {
            // A reset rather than an orderly end: what a broken GPRS link looks like.
            const linger reset{1, 0};
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        }
        return false;
    }
    if (answer.silent || answer.bytes.empty()) return !answer.closeAfter;
    const LinkFaults faults = module_.faults();
    sleepMs(replyDelayMs(faults));
    // Only the serial line is paced: a TCP peer gets its bytes as fast as loopback takes them.
    const int baud = connection.isPty && module_.options().baud > 0 ? connection.session.baud : 0;
    std::size_t size = answer.bytes.size();
    const bool dropMidway = !connection.isPty && startsWithAny(line, faults.closeMidReply);
    if (dropMidway) size /= 2;
    const std::size_t piece = faults.splitBytes > 0 ? static_cast<std::size_t>(faults.splitBytes) : size;
    for (std::size_t sent = 0; sent < size; sent += piece) {
        if (sent > 0) sleepMs(faults.splitDelayMs);
        // A serial line has no connection to lose: bytes nobody reads are simply gone.
        if (!writePaced(fd, answer.bytes.data() + sent, std::min(piece, size - sent), baud)) return connection.isPty;
    }
    if (dropMidway || answer.closeAfter) return connection.isPty;
    if (!faults.trailingAfterOk.empty() && endsWithOk(answer.bytes) && connection.session.okAnswers++ % 2 == 0) {
        sleepMs(kTrailingDelayMs);
        const std::string& tail = faults.trailingAfterOk;
        if (!writePaced(fd, tail.data(), tail.size(), baud)) return connection.isPty;
    }
    return true;
}

int SimServer::replyDelayMs(const LinkFaults& faults) {
    const int spread = faults.replyDelayMs * faults.replyJitterPercent / 100;
    if (spread <= 0) return faults.replyDelayMs;
    return faults.replyDelayMs + std::uniform_int_distribution<int>(-spread, spread)(random_);
}

bool SimServer::writePaced(int fd, const char* data, std::size_t size, int baud) {
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    // Paced output goes out in slices of about a millisecond of line time.
    const std::size_t slice = baud > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(baud) / 10000) : size;
    std::size_t done = 0;
    while (done < size) {
        const std::size_t chunk = std::min(slice, size - done);
        if (baud > 0) {
            // A slice is handed over when its last byte would have left the line, not
            // when its first one starts: the reader never gets a byte before a UART would.
            const auto due = started + std::chrono::microseconds(static_cast<long long>(done + chunk) * 10'000'000 / baud);
            std::this_thread::sleep_until(due);
        }
        std::size_t written = 0;
        while (written < chunk) {
            ssize_t n = ::send(fd, data + done + written, chunk - written, MSG_NOSIGNAL);
            if (n < 0 && errno == ENOTSOCK) n = ::write(fd, data + done + written, chunk - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kWriteStallLimitMs) <= 0) return false;
        }
        done += chunk;
    }
    return true;
}

} // namespace kavrel::sim
