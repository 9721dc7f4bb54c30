// The history record of one write (write_history.h) kept beside the write as it goes: the
// opening line before anything is sent, the closing one with the outcome. It hands every
// step on to the recorder it wraps (the journal), so any write path takes it as its
// WriteRecorder; a resume or a restore, which keep their journal themselves, open and close
// it around the call.
#pragma once

#include <functional>
#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "config/model/settings_image.h"
#include "config/model/write_history.h"
#include "config/protocol/config_result.h"
#include "config/protocol/write_settings.h"

namespace kavrel::config {

struct HistoryOrigin {
    std::string tool;          // "kavrel", "Kavrel-Config"
    std::string toolVersion;
    std::string action;        // "zapis", "dokończenie", "przywrócenie", "wdrożenie"
    std::string run;           // the roll-out run, "" for none
};

// The history's words for a write's outcome. A link that failed once lines had gone out is
// a cut write ("przerwany"), one that failed before is a failed connection.
std::string historyOutcome(ConfigResult result, bool linesSent);

class HistoryRecorder final : public WriteRecorder {
public:
    // `folder` is the backup folder; `connection` the journal's identity of the connection.
    HistoryRecorder(const std::string& folder, const HistoryOrigin& origin, const std::string& connection,
                    const SettingsImage& target, const Clock& clock, WriteRecorder* inner = nullptr);

    // What the module held before (a reviewed write read it): its hash and the changes.
    void knowBefore(const SettingsImage& before);
    void setModuleVersion(const std::string& versionText);   // Windows-1250
    void setJournal(const std::string& path) { record_.journal = path; }

    // Appends the opening line; false when the history cannot be written (nothing may be
    // sent then: the write would leave no trace). A write given this recorder opens it
    // itself once the handshake is done, just before its first line (a failure then stops
    // the write there); a write that keeps its own journal (a resume, a restore) is opened
    // before it starts.
    bool open();
    // Appends the closing line, once (both lines for a write that never reached its first
    // line); best effort (the opening line already says "przerwany").
    void close(ConfigResult result, const std::string& detail = {});
    bool linesSent() const { return started_; }

    const std::string& path() const { return path_; }
    const HistoryRecord& record() const { return record_; }

    void backedUp(const std::string& path) override;
    bool starting(const std::string& versionText, const std::vector<WriteStep>& steps, std::size_t first) override;
    bool acknowledged(std::size_t index) override;
    std::string stopReason() const override;
    void verified() override;

private:
    std::string path_;
    HistoryRecord record_;
    SettingsImage target_;
    const Clock& clock_;
    WriteRecorder* inner_;
    bool started_ = false;
    bool opened_ = false;
    bool closed_ = false;
    std::string stopReason_;
};

// "Nie można zapisać historii zapisów PATH: nic nie wysłano." (Windows-1250)
std::string historyFailedText(const std::string& path);

} // namespace kavrel::config

namespace kavrel::config {

// Runs `write` and closes the history with its result. With `openFirst` (a write that does
// not take the recorder) the opening line goes out first, and a history that cannot be
// written stops it before anything is sent: the observer is told why and JournalFailed
// returned. Without it, the write opens the record at its first line.
ConfigResult writeWithHistory(HistoryRecorder& history, OperationObserver& observer, bool openFirst,
                              const std::function<ConfigResult(WriteRecorder&)>& write);

} // namespace kavrel::config
