// Takes the notifications from the spool to each destination in order, on a clock the
// caller passes in: a destination that fails is tried again after 10 s, 20 s, 40 s ... (at
// most 2 min) with the same notification, never skipping ahead; the other destinations go
// on meanwhile. Every attempt is logged in the database with its outcome.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/alarms/alarm_senders.h"
#include "fleet/alarms/alarm_store.h"

namespace kavrel::fleet::alarms {

class AlarmDelivery {
public:
    using Log = std::function<void(const std::string&)>;
    AlarmDelivery(AlarmStore& store, std::vector<std::unique_ptr<Sender>> senders, Log log = {});

    // Sends what is due at nowMs; returns when the next attempt is due (0: nothing waits).
    long long pump(long long nowMs);
    long long waiting() const;

private:
    struct Destination {
        std::unique_ptr<Sender> sender;
        std::string name;
        long long retryAt = 0;
        int failures = 0;
        long long failedId = 0;
    };
    AlarmStore& store_;
    std::vector<Destination> destinations_;
    Log log_;
};

} // namespace kavrel::fleet::alarms
