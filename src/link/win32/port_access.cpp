#include "link/port_access.h"

namespace kavrel::link {

// A COM port is only ever opened exclusively on Windows: a probe would have to take it.
// The port list there tells nothing beyond what the system lists.
PortAccess portAccess(const std::string&, PathAccessCheck) { return PortAccess::Usable; }

} // namespace kavrel::link
