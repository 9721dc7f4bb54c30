// Home automation discovery on MQTT: one retained configuration message per entity on
// homeassistant/<component>/kavrel_<module>/<entity>/config, so that the hub finds each
// module as a device by itself. The entities are each line's reading (with its unit and
// device class) and its state, the extended lines likewise, the alarm and the GSM level;
// their values come from the poll messages on kavrel/NAME/pomiar, their availability from
// kavrel/NAME/stan. Configurations are made from a module's answered polls and sent only
// when they differ from those sent before (its first answer, then when its lines change);
// an entity that is gone gets an empty retained message, which removes it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fleet/fleet_list.h"
#include "fleet/message_spool.h"
#include "fleet/poll_record.h"
#include "fleet/poll_values.h"

namespace kavrel::fleet {

inline constexpr const char* kDiscoveryPrefix = "homeassistant";

// Every configuration message of a module whose poll gave these values, in a fixed order.
std::vector<SpooledMessage> discoveryMessages(const PollValues& values, const FleetModule& module);

// "kavrel_" and the module's name with every byte outside A-Z, a-z, 0-9 as "_" and two hex
// digits: an id the hub takes, the same for the same name and different for different ones.
std::string discoveryId(const std::string& moduleName);

class HaDiscovery {
public:
    explicit HaDiscovery(std::size_t modules) : sent_(modules) {}
    // What to publish for this poll: nothing unless the module's configurations changed.
    std::vector<SpooledMessage> changed(const PollRecord& record, const FleetModule& module);

private:
    std::vector<std::map<std::string, std::string>> sent_;   // per module: topic, payload
};

} // namespace kavrel::fleet
