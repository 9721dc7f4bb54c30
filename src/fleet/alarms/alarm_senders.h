// The destinations of `--notify`: a program (exec:PROGRAM, the JSON on its stdin), a webhook
// (http[s]://HOST[:PORT]/PATH, the JSON POSTed), a mail server
// (smtp://[USER@]HOST[:PORT]?from=ADDR&to=ADDR[,ADDR], STARTTLS when offered and always with a
// login) and, with --mqtt, the retained kavrel/NAME/alarm topics. Mail and webhooks go
// through libcurl; a build without it says so instead of sending.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "fleet/alarms/alarm_store.h"

namespace kavrel::fleet::alarms {

class Sender {
public:
    virtual ~Sender() = default;
    // Names the destination in the spool and the log (no password in it).
    virtual std::string name() const = 0;
    // "" when the destination took it, else why not (UTF-8). Blocks for at most a time limit.
    virtual std::string send(const Outgoing& notification) = 0;
};

// Whether this build has libcurl (mail and webhooks).
bool mailAndWebhooksAvailable();

// One --notify value; `secrets` is the --notify-secrets file ("" none). An error text
// (UTF-8) when the value is refused.
std::unique_ptr<Sender> makeSender(const std::string& target, const std::filesystem::path& secrets, std::string& error);

// The retained MQTT messages through the fleet's publisher (`publish` hands one on).
std::unique_ptr<Sender> makeMqttSender(
    std::function<void(const std::string& topic, const std::string& payload)> publish);

} // namespace kavrel::fleet::alarms
