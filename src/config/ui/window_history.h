// The history records of Kavrel-Config's writes: the window's write, resume and restore each
// keep one (config/protocol/history_recorder.h), made here from what the operation holds.
#pragma once

#include <string>

#include "config/protocol/history_recorder.h"
#include "config/protocol/journaled_write.h"
#include "link/connection.h"

namespace kavrel::config::ui {

// A write of `target` to `connection` under `journal`.
HistoryRecorder windowHistory(const std::string& folder, const char* action, const link::Connection& connection,
                              const SettingsImage& target, JournalRecorder& journal);
// A resume or a restore of the unfinished write.
HistoryRecorder windowHistory(const std::string& folder, const char* action, const UnfinishedWrite& unfinished,
                              const SettingsImage& target);

} // namespace kavrel::config::ui
