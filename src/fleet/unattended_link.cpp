#include "fleet/unattended_link.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include "common/win1250.h"

namespace kavrel::fleet {

void UnattendedObserver::message(const std::string& text, MessageIcon icon) {
    if (icon == MessageIcon::Error || icon == MessageIcon::Warning || last_.empty()) last_ = cp1250::toUtf8(text);
}

bool UnattendedObserver::askYesNo(const std::string& question) {
    if (last_.empty()) last_ = cp1250::toUtf8(question);
    return false;
}

void UnattendedObserver::messageDetail(const std::string& text) { last_ += " (" + cp1250::toUtf8(text) + ")"; }

std::string UnattendedObserver::last(const char* fallback) const {
    if (last_.empty()) return fallback;
    std::string line;
    for (const char c : last_)
        if (c != '\r') line += c == '\n' ? ' ' : c;
    return line;
}

std::string moduleAddress(const FleetModule& module, std::string& error) {
    char text[INET6_ADDRSTRLEN] = {};
    if (module.address != 0) {
        in_addr address{};
        address.s_addr = module.address;
        return ::inet_ntop(AF_INET, &address, text, sizeof text) ? text : "";
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(module.host.c_str(), nullptr, &hints, &found);
    if (rc != 0 || found == nullptr) {
        if (rc == EAI_NONAME || rc == EAI_NODATA || rc == EAI_ADDRFAMILY || rc == 0)
            error = "nie znaleziono adresu nazwy " + module.host;
        else
            error = "nie można sprawdzić nazwy " + module.host + ": " + ::gai_strerror(rc);
        if (found != nullptr) ::freeaddrinfo(found);
        return "";
    }
    const addrinfo* chosen = found;
    for (const addrinfo* a = found; a; a = a->ai_next)
        if (a->ai_family == AF_INET) {
            chosen = a;
            break;
        }
    if (chosen->ai_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(chosen->ai_addr)->sin6_addr, text, sizeof text);
    else
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(chosen->ai_addr)->sin_addr, text, sizeof text);
    ::freeaddrinfo(found);
    return text;
}

} // namespace kavrel::fleet
