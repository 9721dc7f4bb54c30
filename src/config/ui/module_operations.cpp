#include "config/ui/module_operations.h"

#include "common/clock.h"
#include "common/qt/operation_runner.h"
#include "config/model/backup_store.h"
#include "config/model/settings_compare.h"
#include "config/model/settings_file.h"
#include "config/protocol/connection_names.h"
#include "config/protocol/history_recorder.h"
#include "config/protocol/journaled_write.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/reviewed_write.h"
#include "config/protocol/write_check.h"
#include "config/protocol/write_settings.h"
#include "config/ui/window_history.h"
#include "link/handshake.h"

namespace kavrel::config::ui {

ModuleOperations::ModuleOperations(QWidget* window, WriteConfirmations& confirmations)
    : confirmations_(confirmations), runner_(new OperationRunner(window)) {}

bool ModuleOperations::running() const { return runner_->isRunning(); }

void ModuleOperations::start(std::shared_ptr<OperationCopies> copies, ModuleWork work, OperationKind kind,
                             std::function<void(OperationResults)> takeResults) {
    if (runner_->isRunning()) return;
    runningKind_ = kind;
    writeConfirmed_ = false;
    interrupt_ = std::make_shared<link::LinkInterrupt>();
    runner_->startWithResult([copies = std::move(copies), interrupt = interrupt_, work = std::move(work),
                              take = std::move(takeResults)](OperationObserver& observer) {
        link::ModuleLink link(link::LinkVariant::configurator(), copies->connection);
        link.setInterrupt(interrupt);
        link.setTrace(copies->trace);
        OperationResults results = work(link, *copies, observer);
        return OperationRunner::Handback([take, results = std::move(results)] { take(results); });
    });
}

bool ModuleOperations::writeUnderWay() const {
    return runningKind_ == OperationKind::Write || (runningKind_ == OperationKind::ReviewedWrite && writeConfirmed_);
}

void ModuleOperations::interrupt() {
    if (interrupt_) interrupt_->trigger();
}

void ModuleOperations::cancelForClose() {
    closing_ = true;
    interrupt();
}

bool ModuleOperations::abandon() {
    const bool wasRunning = runner_->isRunning();
    runner_->abandon();
    return wasRunning;
}

void ModuleOperations::waitForFinished() { runner_->waitForFinished(); }

// Asked from the worker; shown on the window's thread while the write waits.
bool ModuleOperations::askWriteCheck(const WriteCheck& check) {
    return runner_->askOnWindow([this, check] { return confirmations_.confirmWriteCheck(check); });
}

ModuleWork ModuleOperations::readVersion() {
    return [](link::ModuleLink& link, OperationCopies&, OperationObserver& observer) {
        // The observer has shown the outcome; the window has nothing else to do with it.
        (void)link::readModuleVersion(link, observer);
        return OperationResults{};
    };
}

ModuleWork ModuleOperations::readFromModule() {
    return [](link::ModuleLink& link, OperationCopies& copies, OperationObserver& observer) {
        std::string versionText;
        const ConfigResult result = readSettings(link, copies.record, observer, &versionText);
        OperationResults results{.record = copies.record};
        if (result == ConfigResult::Ok) results.recordVersion = versionText;
        return results;
    };
}

ModuleWork ModuleOperations::sendReviewed(std::string folder, std::vector<std::string> fileVersions) {
    return [this, folder = std::move(folder), fileVersions = std::move(fileVersions)](
               link::ModuleLink& link, OperationCopies& copies, OperationObserver& observer) {
        WriteReview review;
        review.backupFolder = folder;
        review.connection = backupWord(copies.connection);
        const SettingsImage& record = copies.record;
        review.confirm = [this, &record, &fileVersions](const ModuleReview& module) {
            const WriteCheck check = checkWrite(record, fileVersions, module.versionText);
            return runner_->askOnWindow([this, check, changes = module.changes] {
                // A close box pressed during the read cancels the write.
                if (closing_) return false;
                writeConfirmed_ = (!check.needsConfirmation() || confirmations_.confirmWriteCheck(check)) &&
                                  confirmations_.confirmChanges(changes);
                return writeConfirmed_ && !closing_;
            });
        };
        JournalRecorder journal = journalForWrite(folder, journalIdentity(copies.connection), copies.record,
                                                  copies.choice, systemClock().now());
        ReviewedWriteOutcome outcome;
        HistoryRecorder history = windowHistory(folder, "zapis", copies.connection, copies.record, journal);
        // The observer has shown the outcome; the read-back comes back whatever it was.
        (void)writeWithHistory(history, observer, false, [&](WriteRecorder& recorder) {
            const ConfigResult result = writeSettingsReviewed(link, copies.record, copies.readBack, copies.choice,
                                                              observer, WriteContext{systemClock(), &recorder}, review,
                                                              outcome);
            if (history.linesSent() || result == ConfigResult::WriteCancelled) history.knowBefore(outcome.module);
            return result;
        });
        return OperationResults{.readBack = copies.readBack};
    };
}

ModuleWork ModuleOperations::sendPlanned(std::string folder, std::vector<std::string> fileVersions) {
    return [this, folder = std::move(folder), fileVersions = std::move(fileVersions)](
               link::ModuleLink& link, OperationCopies& copies, OperationObserver& observer) {
        JournalRecorder journal = journalForWrite(folder, journalIdentity(copies.connection), copies.record,
                                                  copies.choice, systemClock().now());
        const PlanWrite plan = [&](const link::FirmwareVersion& version,
                                   const std::string& versionText) -> std::optional<WritePlan> {
            const WriteCheck check = checkWrite(copies.record, fileVersions, versionText);
            if (check.needsConfirmation() && !askWriteCheck(check)) {
                observer.status(writeCancelledStatus());
                return std::nullopt;
            }
            return WritePlan{writeSequence(copies.record, version), 0};
        };
        HistoryRecorder history = windowHistory(folder, "zapis", copies.connection, copies.record, journal);
        // The observer has shown the outcome; the read-back comes back whatever it was.
        (void)writeWithHistory(history, observer, false, [&](WriteRecorder& recorder) {
            return writePlanned(link, copies.record, copies.readBack, copies.choice, observer,
                                WriteContext{systemClock(), &recorder}, plan);
        });
        return OperationResults{.readBack = copies.readBack};
    };
}

ModuleWork ModuleOperations::resumeUnfinished(const UnfinishedWrite& unfinished, std::string folder) {
    return [unfinished, folder = std::move(folder)](link::ModuleLink& link, OperationCopies& copies,
                                                    OperationObserver& observer) {
        HistoryRecorder history = windowHistory(folder, "dokończenie", unfinished, unfinished.journal.target);
        const ConfigResult result = writeWithHistory(history, observer, true, [&](WriteRecorder&) {
            return resumeWrite(link, unfinished, copies.readBack, observer, systemClock(),
                               ModuleGuard{folder, backupWord(copies.connection)});
        });
        OperationResults results{.readBack = copies.readBack};
        if (result == ConfigResult::Ok) {
            results.record = unfinished.journal.target;
            results.recordVersion = unfinished.journal.versionText;
        }
        return results;
    };
}

ModuleWork ModuleOperations::restoreUnfinished(const UnfinishedWrite& unfinished, SettingsImage backup,
                                               std::string folder) {
    return [this, unfinished, backup = std::move(backup), folder = std::move(folder)](
               link::ModuleLink& link, OperationCopies& copies, OperationObserver& observer) {
        const auto confirm = [this](const WriteCheck& check) { return askWriteCheck(check); };
        HistoryRecorder history = windowHistory(folder, "przywrócenie", unfinished, backup);
        const ConfigResult result = writeWithHistory(history, observer, true, [&](WriteRecorder&) {
            return restoreBackup(link, unfinished, backup, unfinished.journal.backupPath, copies.readBack, observer,
                                 systemClock(), ModuleGuard{folder, backupWord(copies.connection)}, confirm);
        });
        OperationResults results{.readBack = copies.readBack};
        if (result == ConfigResult::Ok) {
            results.record = backup;
            results.recordVersion = unfinished.journal.versionText;
        }
        return results;
    };
}

} // namespace kavrel::config::ui
