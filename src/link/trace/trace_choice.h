// The wire trace as the programs' settings offer it: a check box and a file. Kept under
// its own key, beside (never among) the connection values, so that turning the trace on
// or off changes no value the other tools read. One choice serves all three programs.
#pragma once

#include <memory>
#include <string>

#include "common/settings_store.h"
#include "link/trace/wire_trace.h"

namespace kavrel::link {

inline constexpr const char* kTraceChoiceKey = "Software\\Ostrevan\\Kavrel\\Przebieg";

struct TraceChoice {
    bool enabled = false;
    std::string file;   // Windows-1250, as every text of the store; empty: not chosen yet
};

// The stored choice; off with no file when nothing is stored.
TraceChoice loadTraceChoice(const SettingsStore& store);
bool saveTraceChoice(SettingsStore& store, const TraceChoice& choice);

// The trace a program's link gets: the chosen file, appended to, when the choice is on;
// else none here, and the link follows KAVREL_TRACE. A file that cannot be opened gives
// null and its reason.
std::shared_ptr<WireTrace> openChosenTrace(const TraceChoice& choice, std::string* reason = nullptr);

} // namespace kavrel::link
