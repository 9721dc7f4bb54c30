#include "monitor/poller.h"

#include "common/win1250.h"
#include "link/command_words.h"
#include "link/handshake.h"
#include "monitor/measurement_log.h"

namespace kavrel::monitor {
namespace {

// The monitor's handshake reports through the status label and message boxes.
class HandshakeReport final : public OperationObserver {
public:
    HandshakeReport(MonitorDisplay& display, MonitorView& view) : display_(display), view_(view) {}
    void status(const std::string& text) override {
        display_.statusText = text;
        display_.statusShown = true;
    }
    void appendStatus(const std::string&) override {}
    void progress(int) override {}
    void message(const std::string& text, MessageIcon icon) override { view_.message(text, icon); }
    void messageDetail(const std::string& text) override { view_.messageDetail(text); }
    bool askYesNo(const std::string&) override { return false; }

private:
    MonitorDisplay& display_;
    MonitorView& view_;
};

// A reopen between polls says nothing: the failed polls already tell the user, as they
// do while the module is silent.
class QuietReport final : public OperationObserver {
public:
    void status(const std::string&) override {}
    void appendStatus(const std::string&) override {}
    void progress(int) override {}
    void message(const std::string&, MessageIcon) override {}
    bool askYesNo(const std::string&) override { return false; }
};

} // namespace

MonitorPoller::MonitorPoller(link::ModuleLink& link, const MonitorSettings& settings, MonitorView& view,
                             const Clock& clock)
    : link_(link), settings_(settings), view_(view), clock_(clock) {}

std::filesystem::path MonitorPoller::logFile() const { return logOverride_ ? *logOverride_ : logFilePath(settings_); }

void MonitorPoller::showStatus(const std::string& text) {
    display_.statusText = text;
    display_.statusShown = true;
}

void MonitorPoller::showVersionStatus() { showStatus(W("Wersja: ") + std::string(link_.versionText())); }

bool MonitorPoller::startPolling() {
    state_ = PollState{};
    lastAnswered_ = false;
    display_.rowNumber = 0;
    display_.answeredPolls = 0;
    showSettings(display_, settings_, !link_.isSerial());
    clearReadings(display_);

    HandshakeReport report(display_, view_);
    if (link::openMonitorLink(link_, report) != link::LinkResult::Ok) {
        view_.refresh(display_);
        return false;
    }
    if (!appendLogHeader(logFile(), settings_)) {
        // Polling goes on; every row tries the file again.
        display_.fileNameField = "BEZ ZAPISU DO PLIKU!";
        view_.refresh(display_);
        view_.message(W("Błąd otwarcia pliku do zapisu!"), MessageIcon::Warning);
    }
    polling_ = true;
    view_.pollingChanged(true);
    view_.refresh(display_);
    pollTick();
    return true;
}

bool MonitorPoller::reopenLostLink() {
    QuietReport quiet;
    return link::openMonitorLink(link_, quiet) == link::LinkResult::Ok;
}

void MonitorPoller::pollTick() {
    if (!polling_) return;
    const bool reachable = !reconnect_ || !link_.connectionLost() || reopenLostLink();
    // A measurement reply is complete at its last CR; the module sends no "OK" after it.
    link_.setShortReplyMode(true);
    bool answered = false;
    if (reachable && link_.query(link::command::kMeasure) == link::LinkResult::Ok) {
        state_.failedPolls = 0;
        ++state_.answeredPolls;
        answered = parseMeasurementReply(link_.receivedText(), snapshot_);
        if (answered) showMeasurement(display_, snapshot_, settings_);
    }
    if (answered && state_.rowCountdown <= 0) {
        ++state_.rowNumber;
        appendLogRow(logFile(), state_.rowNumber, clock_.now(), snapshot_);   // a lost row leaves a gap in the numbering
        state_.rowCountdown = static_cast<std::int64_t>(settings_.recordPeriod) * 60;
    }
    if (answered) {
        if (snapshot_.extMode > 0 && link_.query(link::command::kMeasureExtended) == link::LinkResult::Ok &&
            parseExtendedReply(link_.receivedText(), readings_))
            showExtendedReadings(display_, readings_);
        showVersionStatus();
    } else {
        if (state_.failedPolls < kFailedPollsMax) ++state_.failedPolls;
        if (state_.failedPolls == kFailuresBeforeBlanking) {
            showStatus(W("Brak połączenia z Kavrel"));
            clearReadings(display_);
        }
    }
    if (state_.rowCountdown > 0) state_.rowCountdown -= kSecondsPerTick;
    lastAnswered_ = answered;
    display_.rowNumber = state_.rowNumber;
    display_.answeredPolls = state_.answeredPolls;
    view_.refresh(display_);
}

void MonitorPoller::stopPolling() {
    polling_ = false;
    link_.close();
    view_.pollingChanged(false);
    view_.refresh(display_);
}

} // namespace kavrel::monitor
