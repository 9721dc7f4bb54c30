// A fleet service's membership of a fleet shared over a PostgreSQL server: a row of its own in
// `fleet_members`, renewed every third of the lease on a thread of its own. A module belongs
// to the service when it wins the module's rendezvous among the live members: a member
// counts from a renewal period after it joined (by then every other member has read its row,
// so that no two services take a module at once) until its lease runs out (a service that
// died loses its modules then, without anyone's word). A service whose own lease has run out
// (its renewals failed: the server unreachable) owns nothing and polls nothing until a
// renewal succeeds again; it says so on stderr, and again when it has its lease back.
// Times the server gives are turned into this computer's steady clock at each renewal, so
// that the machines' clocks need not agree.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fleet/module_ownership.h"

namespace kavrel::fleet::postgres {

class PgConnection;

struct LeaseOptions {
    std::chrono::milliseconds lease{30'000};
    std::chrono::milliseconds renewEvery{0};   // zero: a third of the lease
    std::string member;                          // this service's name among the members
};

class FleetLease final : public Ownership {
public:
    using Steady = std::chrono::steady_clock;
    FleetLease(const std::string& address, LeaseOptions options);
    ~FleetLease() override;   // leaves the fleet: the others take its modules at their next renewal
    FleetLease(const FleetLease&) = delete;
    FleetLease& operator=(const FleetLease&) = delete;

    bool owns(const std::string& module, Steady::time_point now) const override;
    // Ends the renewals without leaving, as a process killed outright would (tests).
    void abandon();
    // The live members as last read (for status lines and tests).
    std::vector<std::string> liveMembers(Steady::time_point now) const;
    bool holdsLease(Steady::time_point now) const;
    const std::string& member() const { return options_.member; }

private:
    struct Member {
        std::string name;
        Steady::time_point counts;    // from when it owns modules
        Steady::time_point expires;
    };
    void run();
    bool renew(PgConnection& pg);
    void leave(PgConnection& pg);

    const std::string address_;
    LeaseOptions options_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Member> members_;            // under mutex_
    Steady::time_point validUntil_{};        // under mutex_: this service's own lease
    bool ending_ = false;
    bool leaveAtEnd_ = true;
    bool schemaReady_ = false;               // the lease thread's
    std::thread thread_;
};

} // namespace kavrel::fleet::postgres
