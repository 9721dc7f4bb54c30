// One HTTP/1.1 POST over a fresh TCP connection, with a time limit on every step: what the
// time-series sink needs to hand a round to the database's write endpoint.
#pragma once

#include <string>

namespace kavrel::fleet {

struct HttpReply {
    bool answered = false;   // false: no connection, or no whole status line in time
    int status = 0;          // 204, 400, 500...
    std::string body;        // what the server said (its reason for a refusal)
    std::string failure;     // why there was no answer (UTF-8)
};

HttpReply httpPost(const std::string& host, int port, const std::string& target, const std::string& body,
                   int timeoutMs);

} // namespace kavrel::fleet
