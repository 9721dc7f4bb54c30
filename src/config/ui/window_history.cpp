#include "config/ui/window_history.h"

#include "common/clock.h"
#include "config/protocol/connection_names.h"

namespace kavrel::config::ui {
namespace {

HistoryOrigin windowOrigin(const char* action) { return {"Kavrel-Config", KAVREL_TOOL_VERSION, action, ""}; }

} // namespace

HistoryRecorder windowHistory(const std::string& folder, const char* action, const link::Connection& connection,
                              const SettingsImage& target, JournalRecorder& journal) {
    HistoryRecorder history(folder, windowOrigin(action), journalIdentity(connection), target, systemClock(), &journal);
    history.setJournal(journal.path());
    return history;
}

HistoryRecorder windowHistory(const std::string& folder, const char* action, const UnfinishedWrite& unfinished,
                              const SettingsImage& target) {
    HistoryRecorder history(folder, windowOrigin(action), unfinished.connection, target, systemClock());
    history.setJournal(unfinished.path);
    if (unfinished.state == JournalLoad::Ok) history.setModuleVersion(unfinished.journal.versionText);
    return history;
}

} // namespace kavrel::config::ui
