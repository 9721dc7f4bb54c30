// The simulated module's configuration, kept the way the module itself keeps it: values
// under their protocol keys, reported as the key=value lines of "SET?", "SMS?", "APN?",
// "EAD?", "XCFG?" and "ECFG?" and changed by assignment lines. It deliberately shares no
// code with the configurator's settings record, so that a mistake on one side shows up
// as a difference on the other.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/config_sim_options.h"

namespace kavrel::sim {

// The module's firmware version as its own version text gives it.
struct SimFirmware {
    int code = 0x36;      // major x 16 + minor
    bool e = true;
    char variant = 0;     // a capital letter after the number other than E and L
};
SimFirmware simFirmwareOf(std::string_view versionText);

class ModuleConfiguration {
public:
    enum class Outcome { NotConfiguration, Accepted, Unanswered };

    // Starts over with the defaults of the version and the given faults and seed lines.
    void reset(std::string_view versionText, const ConfigSimOptions& options);

    // The reply to a configuration query, or nullopt for any other line.
    std::optional<std::string> reply(std::string_view query);
    // An assignment line ("ICFG1=3 ULO1=1000 ..."), or a service command ("RCNT!",
    // "ERS!", "TIME=...", "INIT!"). Lines holding a key the version does not know are
    // not configuration lines.
    Outcome apply(std::string_view line);

    // For tests and the demo: a stored value ("" for a text never set, "0" for a number),
    // the lines received so far, and what the service commands did.
    std::string value(const std::string& key) const;
    std::vector<std::string> storedKeys() const;   // every key a line or the seed has set
    std::vector<std::string> journal() const;
    void clearJournal();
    int counterResets() const;
    int logErases() const;
    int restarts() const;
    std::string clock() const;

private:
    struct Assignment {
        std::string key;
        std::string value;
    };
    bool knows(const std::string& key) const;
    bool split(std::string_view line, std::vector<Assignment>& out) const;
    bool store(const Assignment& assignment);
    std::string reportLine(const std::string& key);
    std::string reportFamily(const std::string& stem);
    std::string reportSpaced(const std::string& key, int values) const;
    std::string storedOrDefault(const std::string& key) const;

    mutable std::mutex mutex_;
    SimFirmware firmware_;
    ConfigSimOptions options_;
    std::map<std::string, std::string> values_;
    std::vector<std::string> journal_;
    int counterResets_ = 0;
    int logErases_ = 0;
    int restarts_ = 0;
    std::string clock_;
};

} // namespace kavrel::sim
