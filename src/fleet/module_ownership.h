// Which of several fleet services sharing one fleet polls a module: each module's owner is
// chosen by rendezvous hashing over the live services (the highest hash of the pair wins),
// so that a service joining or leaving moves only its own share and every service, knowing
// the same members, names the same owner without asking anyone.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kavrel::fleet {

// The pair's weight: the same in every process and on every machine.
std::uint64_t rendezvousWeight(std::string_view member, std::string_view module);
// The member of `members` that owns `module`; "" when there is none.
std::string rendezvousOwner(std::string_view module, const std::vector<std::string>& members);

// What the fleet service asks before each poll and job of a module. Without one, the service
// owns every module of its fleet file.
class Ownership {
public:
    virtual ~Ownership() = default;
    virtual bool owns(const std::string& module, std::chrono::steady_clock::time_point now) const = 0;
};

} // namespace kavrel::fleet
