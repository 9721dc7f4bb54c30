// The configurator's module operations: each runs on a worker thread with a link of its own,
// built from copies of the window's values, and hands its results back in the one call that
// ends it. This class owns what an operation needs besides those copies: the runner, the
// running operation's wake-up and what kind of operation it is (a read may be cut short, a
// write never is). What a write asks the user before it sends goes through
// WriteConfirmations, on the window's thread.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/model/settings_image.h"
#include "config/protocol/service_actions.h"
#include "link/connection_settings.h"
#include "link/link_interrupt.h"
#include "link/module_link.h"
#include "link/trace/wire_trace.h"

class QWidget;

namespace kavrel {
class OperationObserver;
class OperationRunner;
}

namespace kavrel::config {
struct FieldChange;
struct UnfinishedWrite;
struct WriteCheck;
}

namespace kavrel::config::ui {

// What a write asks before it sends, answered on the window's thread while the write waits.
class WriteConfirmations {
public:
    virtual ~WriteConfirmations() = default;
    // The changes the write would make; true sends.
    virtual bool confirmChanges(const std::vector<FieldChange>& changes) = 0;
    // The file came from another firmware or holds values the dialogs refuse; true sends.
    virtual bool confirmWriteCheck(const WriteCheck& check) = 0;
};

// What a module operation starts from: copies of the window's values, taken after the
// controls' values have been taken in. The operation may change its copies freely.
struct OperationCopies {
    link::Connection connection;   // with the device its COM number stands for, looked up by the window
    std::shared_ptr<link::WireTrace> trace;   // the wire trace, opened by the window; none: off
    SettingsImage record;
    SettingsImage readBack;   // the verification's read-back copy, kept between writes
    ServiceChoice choice;     // the write's options from the check boxes
};

// What an operation hands back; what it leaves empty the window keeps as it is.
struct OperationResults {
    std::optional<SettingsImage> record;
    std::optional<SettingsImage> readBack;
    std::optional<std::string> recordVersion;   // the module's version of a record just read
};

// The steps of one operation, run on the worker with a link of its own.
using ModuleWork = std::function<OperationResults(link::ModuleLink&, OperationCopies&, OperationObserver&)>;

// What an operation does to the module, for the close box: one that only reads is cut
// short; a write is never cut in half.
enum class OperationKind { Reads, ReviewedWrite, Write };

class ModuleOperations {
public:
    // The runner's message boxes get window as their parent, which also owns the runner.
    ModuleOperations(QWidget* window, WriteConfirmations& confirmations);
    ModuleOperations(const ModuleOperations&) = delete;
    ModuleOperations& operator=(const ModuleOperations&) = delete;

    OperationRunner& runner() { return *runner_; }
    bool running() const;
    // Starts work on the worker; takeResults gets its results on the window's thread when
    // it has ended. Nothing starts while another operation runs.
    void start(std::shared_ptr<OperationCopies> copies, ModuleWork work, OperationKind kind,
               std::function<void(OperationResults)> takeResults);
    // The running operation sends settings (a write, or a reviewed write once confirmed).
    bool writeUnderWay() const;
    // Ends the running operation's waits at once.
    void interrupt();
    // The close box was pressed while the operation only reads: its waits end at once, and a
    // reviewed write not yet confirmed is cancelled.
    void cancelForClose();
    // Drops what the running operation would still say or hand back; true if one was running.
    bool abandon();
    void waitForFinished();

    // The operations' steps.
    static ModuleWork readVersion();
    // A read that stops part-way keeps what it parsed, so the record comes back either way.
    static ModuleWork readFromModule();
    // The module is read first; the changes are shown while the operation waits, and what
    // the module held is kept in the backup folder before anything is sent.
    ModuleWork sendReviewed(std::string folder, std::vector<std::string> fileVersions);
    ModuleWork sendPlanned(std::string folder, std::vector<std::string> fileVersions);
    // The record becomes what the module holds once the write is verified.
    static ModuleWork resumeUnfinished(const UnfinishedWrite& unfinished, std::string folder);
    ModuleWork restoreUnfinished(const UnfinishedWrite& unfinished, SettingsImage backup, std::string folder);

private:
    bool askWriteCheck(const WriteCheck& check);

    WriteConfirmations& confirmations_;
    OperationRunner* runner_;   // a child of the window
    OperationKind runningKind_ = OperationKind::Reads;
    bool writeConfirmed_ = false;   // the running reviewed write was confirmed: it sends now
    bool closing_ = false;          // the close box was pressed: a reviewed write not yet confirmed is cancelled
    // The running operation's wake-up: triggered by the close box while it only reads.
    std::shared_ptr<link::LinkInterrupt> interrupt_;
};

} // namespace kavrel::config::ui
