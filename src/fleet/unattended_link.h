// What a fleet job or a roll-out needs to work a module's link with nobody at the screen: an
// observer that answers every question no and keeps the last warning as the reason, and the
// module's address, looked up on the worker that asks (a name again at every job, so that a
// module behind dynamic DNS is found at its new address).
#pragma once

#include <string>

#include "common/observer.h"
#include "fleet/fleet_list.h"

namespace kavrel::fleet {

class UnattendedObserver final : public OperationObserver {
public:
    void status(const std::string&) override {}
    void appendStatus(const std::string&) override {}
    void progress(int) override {}
    void message(const std::string& text, MessageIcon icon) override;
    // Answered no; the question is the reason, unless a warning came first.
    bool askYesNo(const std::string& question) override;
    void messageDetail(const std::string& text) override;
    // The reason on one line (it stands in a table row and a JSON field); `fallback` when
    // nothing was said.
    std::string last(const char* fallback) const;

private:
    std::string last_;
};

// The module's numeric address for the link's TCP client: IPv4 where the name has both (as
// before names could be IPv6), IPv6 where it has only that; "" and `error` when there is none.
std::string moduleAddress(const FleetModule& module, std::string& error);

} // namespace kavrel::fleet
