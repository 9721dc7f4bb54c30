// A module's host looked up for one connection, without holding the poll loop: a numeric
// address (IPv4 or IPv6) at once, a name on a thread of its own whose answer arrives through
// a pipe the loop waits on beside its sockets. A name is looked up again for every new
// connection, so a module behind dynamic DNS is found at its new address.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kavrel::fleet {

struct SocketAddress {
    sockaddr_storage address{};
    socklen_t size = 0;
    int family() const { return address.ss_family; }
};

// What a host name turned into.
enum class LookupResult {
    Pending,
    Found,
    NotFound,   // the name does not exist (or has no address)
    Failed,     // the resolver could not answer (no DNS server reachable, a local error)
};

class HostLookup {
public:
    // Starts the lookup of `host` ("10.0.0.7", "::1", "modul.example.net") for `port`.
    HostLookup(const std::string& host, std::uint16_t port);
    // An unfinished lookup is left to end on its own thread; its answer is thrown away.
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Readable once the answer is there; -1 when it was there at once.
    int fd() const;
    LookupResult result() const;
    // errno when this computer could not even start the lookup (Failed), else 0.
    int systemError() const;
    // The addresses in the resolver's order (IPv6 and IPv4 alike), once Found.
    std::vector<SocketAddress> addresses() const;

private:
    struct Shared;
    void startThread(const std::string& host, std::uint16_t port);
    std::shared_ptr<Shared> shared_;
};

// Whether the text is a numeric IPv4 or IPv6 address.
bool isNumericAddress(const std::string& host);
// "10.0.0.7:23", "[::1]:23": an address as the operator writes it.
std::string addressText(const SocketAddress& address);

} // namespace kavrel::fleet
