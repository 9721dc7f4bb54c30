#include "fleet/host_lookup.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <mutex>
#include <thread>

namespace kavrel::fleet {

// What the lookup thread and the poll loop share: the thread fills it and writes a byte
// into the pipe; whoever lets go of it last closes the pipe.
struct HostLookup::Shared {
    std::mutex mutex;
    LookupResult result = LookupResult::Pending;
    std::vector<SocketAddress> addresses;
    int systemError = 0;
    int pipe[2] = {-1, -1};

    ~Shared() {
        for (const int fd : pipe)
            if (fd >= 0) ::close(fd);
    }
};

namespace {

LookupResult lookUp(const std::string& host, std::uint16_t port, bool numericOnly, std::vector<SocketAddress>& out) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | (numericOnly ? AI_NUMERICHOST : AI_ADDRCONFIG);
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0 || !found) {
        if (found) ::freeaddrinfo(found);
        return rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_FAMILY ? LookupResult::NotFound : LookupResult::Failed;
    }
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        SocketAddress address;
        std::memcpy(&address.address, a->ai_addr, a->ai_addrlen);
        address.size = a->ai_addrlen;
        out.push_back(address);
    }
    ::freeaddrinfo(found);
    return out.empty() ? LookupResult::NotFound : LookupResult::Found;
}

} // namespace

bool isNumericAddress(const std::string& host) {
    in6_addr v6{};
    in_addr v4{};
    return ::inet_pton(AF_INET, host.c_str(), &v4) == 1 || ::inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

std::string addressText(const SocketAddress& address) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (address.family() == AF_INET6) {
        const auto& a = reinterpret_cast<const sockaddr_in6&>(address.address);
        ::inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
        return "[" + std::string(text) + "]:" + std::to_string(ntohs(a.sin6_port));
    }
    const auto& a = reinterpret_cast<const sockaddr_in&>(address.address);
    ::inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(a.sin_port));
}

HostLookup::HostLookup(const std::string& host, std::uint16_t port) : shared_(std::make_shared<Shared>()) {
    if (isNumericAddress(host)) {
        shared_->result = lookUp(host, port, true, shared_->addresses);
        return;
    }
    if (::pipe2(shared_->pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        shared_->systemError = errno;
        shared_->result = LookupResult::Failed;
        return;
    }
    try {
        startThread(host, port);
    } catch (const std::system_error& e) {
        // No thread to be had: this computer's failure, not the module's.
        shared_->systemError = e.code().value() ? e.code().value() : EAGAIN;
        shared_->result = LookupResult::Failed;
    }
}

void HostLookup::startThread(const std::string& host, std::uint16_t port) {
    // The thread owns a copy of the name and its share of the answer; it never touches the
    // exchange, which may be gone when the resolver answers.
    std::thread([shared = shared_, host, port] {
        std::vector<SocketAddress> addresses;
        const LookupResult result = lookUp(host, port, false, addresses);
        std::lock_guard lock(shared->mutex);
        shared->addresses = std::move(addresses);
        shared->result = result;
        const char done = 1;
        [[maybe_unused]] const ssize_t n = ::write(shared->pipe[1], &done, 1);
    }).detach();
}

HostLookup::~HostLookup() = default;

int HostLookup::systemError() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->systemError;
}

int HostLookup::fd() const { return shared_->pipe[0]; }

LookupResult HostLookup::result() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->result;
}

std::vector<SocketAddress> HostLookup::addresses() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->addresses;
}

} // namespace kavrel::fleet
