// A transport that writes its traffic to a wire trace: every write as sent, every read as
// received, and what happens to the connection (closed, failed, interrupted, speed).
#pragma once

#include <memory>

#include "link/transport.h"
#include "link/trace/wire_trace.h"

namespace kavrel::link {

// The transport itself when trace is null, else one that records its traffic there.
std::unique_ptr<Transport> traced(std::unique_ptr<Transport> transport, std::shared_ptr<WireTrace> trace);

} // namespace kavrel::link
