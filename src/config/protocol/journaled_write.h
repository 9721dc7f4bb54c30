// Writes that survive a cut: the journal kept while a write runs (write_journal.h), the
// unfinished write found at the next start, and its two ways out, "Dokończ zapis"
// (resumeWrite) and "Przywróć kopię" (restoreBackup). Both are the usual write with its
// verification, only planned from the journal or the backup.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/model/write_journal.h"
#include "config/protocol/same_module.h"
#include "config/protocol/write_check.h"
#include "config/protocol/write_settings.h"

namespace kavrel::config {

// Keeps the journal of one write up to date. A journal that cannot be saved stops the write
// (a cut after that could not be finished from it); its removal after the verification is
// best effort, problem() saying afterwards that it failed.
class JournalRecorder final : public WriteRecorder {
public:
    // `journal` holds the connection, the target, the actions and the time; its lines,
    // when it already has some (a resumed write), keep their marks.
    JournalRecorder(std::string path, WriteJournal journal);

    void backedUp(const std::string& path) override;
    bool starting(const std::string& versionText, const std::vector<WriteStep>& steps, std::size_t first) override;
    bool acknowledged(std::size_t index) override;
    void verified() override;
    std::string stopReason() const override { return stopReason_; }

    const std::string& path() const { return path_; }
    const WriteJournal& journal() const { return journal_; }
    // "" or the UTF-8 text of a removal that failed.
    const std::string& problem() const { return problem_; }

private:
    std::string path_;
    WriteJournal journal_;
    std::string problem_;
    std::string stopReason_;
};

// The words of the journal's "akcje" line and back.
std::vector<std::string> actionWords(const ServiceChoice& choice);
ServiceChoice choiceOfActions(const std::vector<std::string>& words);

// A journal for a new write of `target` to `connection` (its lines come with the write).
JournalRecorder journalForWrite(const std::string& folder, const std::string& connection, const SettingsImage& target,
                                const ServiceChoice& choice, const LocalDateTime& now);

struct UnfinishedWrite {
    std::string connection;                     // as looked up
    std::string path;
    JournalLoad state = JournalLoad::Missing;   // Ok or Damaged
    WriteJournal journal;                       // when Ok
};

// The unfinished write to this connection, if there is one (a damaged journal too).
std::optional<UnfinishedWrite> findUnfinishedWrite(const std::string& folder, const std::string& connection);

// Texts (Windows-1250) about an unfinished write, shared by the window and the tool.
std::string unfinishedWriteText(const UnfinishedWrite& unfinished);
std::string nothingToResumeText();
std::string noBackupToRestoreText();

// "Dokończ zapis": the journal's lines from the first one without its "OK" (the module
// must report the version the write started with), then the verification and the
// write's service actions. A verified write removes the journal. Only the record's own
// write sequence is sent: a journal whose lines are not exactly that sequence (edited, or
// of another program version) is refused before anything is sent. The module is read first
// and must be the one the write was cut in (same_module.h); another one is backed up into
// `guard`'s folder and the observer asked whether to go on.
ConfigResult resumeWrite(link::ModuleLink& link, const UnfinishedWrite& unfinished, SettingsImage& readBack,
                         OperationObserver& observer, const Clock& clock, const ModuleGuard& guard);

// Asked, as before the write of any file, when the backup's firmware differs from the
// module's in what a write sends, or when it holds values outside the dialogs: true sends.
using ConfirmWriteCheck = std::function<bool(const WriteCheck&)>;

// "Przywróć kopię": `backup` written and verified as any write is, under the same
// journal (a cut restore is found again); a restart follows when the write asked for
// one. Settings the interrupted write changed that a write of the backup does not send
// (kept while switched off: the extended lines' texts, the HTTP addresses) follow with
// the backup's values. A verified restore removes the journal. With a journal, the module
// is checked first as for a resume. The backup's firmware is the one noted for it beside the
// backups (else the interrupted write's, for its own backup); `confirm` is asked as above.
ConfigResult restoreBackup(link::ModuleLink& link, const UnfinishedWrite& unfinished,
                           const SettingsImage& backup, const std::string& backupPath, SettingsImage& readBack,
                           OperationObserver& observer, const Clock& clock, const ModuleGuard& guard,
                           const ConfirmWriteCheck& confirm);

} // namespace kavrel::config
