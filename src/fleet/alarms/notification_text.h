// A notification as each destination takes it: the mail's subject and body (Polish, UTF-8),
// the webhook's and the program's JSON object, and the retained MQTT message of each module
// it names (kavrel/NAME/alarm).
#pragma once

#include <string>
#include <vector>

#include "fleet/alarms/alarm_engine.h"

namespace kavrel::fleet::alarms {

struct RenderedNotification {
    std::string subject;
    std::string body;
    std::string json;
    struct Retained {
        std::string topic, payload;
    };
    std::vector<Retained> mqtt;
};

// `id` is the notification's number in the spool: receivers may drop one they already have.
RenderedNotification renderNotification(const Notification& n, long long id);

} // namespace kavrel::fleet::alarms
