#include "config/protocol/history_recorder.h"

#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/element_text.h"
#include "config/model/settings_compare.h"
#include "config/model/write_journal.h"

namespace kavrel::config {

std::string historyOutcome(ConfigResult result, bool linesSent) {
    switch (result) {
    case ConfigResult::Ok: return "zapisany";
    case ConfigResult::VerificationFailed: return "niezweryfikowany";
    case ConfigResult::WriteCancelled: return "anulowany";
    case ConfigResult::WriteRefused: return "odmowa";
    case ConfigResult::NothingToResume: return "nic do dokończenia";
    case ConfigResult::BackupFailed: return "błąd kopii";
    case ConfigResult::JournalFailed: return "błąd dziennika";
    case ConfigResult::NoSettingsInReply: return "błąd odczytu";
    case ConfigResult::LinkFailed:
    case ConfigResult::LinkBadReply:
    case ConfigResult::LinkNothingReceived:
    case ConfigResult::LinkReceiveError:
    case ConfigResult::LinkSendError: break;
    }
    return linesSent ? kOutcomeCut : "błąd połączenia";
}

HistoryRecorder::HistoryRecorder(const std::string& folder, const HistoryOrigin& origin, const std::string& connection,
                                 const SettingsImage& target, const Clock& clock, WriteRecorder* inner)
    : path_(historyPath(folder)), target_(target), clock_(clock), inner_(inner) {
    record_.id = newAttemptId();
    record_.time = backupTimeText(clock.now());
    record_.user = currentUserName();
    record_.computer = currentComputerName();
    record_.tool = origin.tool;
    record_.toolVersion = origin.toolVersion;
    record_.action = origin.action;
    record_.run = origin.run;
    record_.connection = connection;
    record_.hashAfter = settingsHash(target);
}

void HistoryRecorder::knowBefore(const SettingsImage& before) {
    record_.hashBefore = settingsHash(before);
    std::vector<HistoryChange> changes;
    for (const FieldChange& change : compareSettings(before, target_, CompareMode::Values))
        changes.push_back({change.key, change.before, change.after});
    record_.changes = std::move(changes);
}

void HistoryRecorder::setModuleVersion(const std::string& versionText) {
    record_.moduleVersion = cp1250::toUtf8(versionText);
}

bool HistoryRecorder::open() {
    opened_ = appendHistoryOpening(path_, record_);
    return opened_;
}

void HistoryRecorder::close(ConfigResult result, const std::string& detail) {
    if (closed_) return;
    closed_ = true;
    // A write that stopped before its first line still was an attempt: both lines now.
    if (!opened_ && !open()) return;
    record_.ended = backupTimeText(clock_.now());
    record_.outcome = historyOutcome(result, started_);
    record_.detail = detail;
    (void)appendHistoryClosing(path_, record_);
}

void HistoryRecorder::backedUp(const std::string& path) {
    if (inner_) inner_->backedUp(path);
}

bool HistoryRecorder::starting(const std::string& versionText, const std::vector<WriteStep>& steps, std::size_t first) {
    setModuleVersion(versionText);
    if (!opened_ && !open()) {
        stopReason_ = historyFailedText(path_);
        return false;
    }
    if (inner_ && !inner_->starting(versionText, steps, first)) return false;
    started_ = true;
    return true;
}

bool HistoryRecorder::acknowledged(std::size_t index) { return !inner_ || inner_->acknowledged(index); }

std::string HistoryRecorder::stopReason() const {
    if (!stopReason_.empty()) return stopReason_;
    return inner_ ? inner_->stopReason() : std::string();
}

void HistoryRecorder::verified() {
    if (inner_) inner_->verified();
}

std::string historyFailedText(const std::string& path) {
    return W("Nie można zapisać historii zapisów ") + cp1250::fromUtf8(path) + W(": nic nie wysłano do modułu.");
}

} // namespace kavrel::config

namespace kavrel::config {

ConfigResult writeWithHistory(HistoryRecorder& history, OperationObserver& observer, bool openFirst,
                              const std::function<ConfigResult(WriteRecorder&)>& write) {
    if (openFirst && !history.open()) {
        observer.message(historyFailedText(history.path()), MessageIcon::Error);
        return ConfigResult::JournalFailed;
    }
    const ConfigResult result = write(history);
    history.close(result);
    return result;
}

} // namespace kavrel::config
