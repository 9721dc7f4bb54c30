// The monitor's polling run: START opens the module and writes the log header, every
// tick of the 5-second poll timer asks "MSR?" (and "MSRX?" when the module has extended
// lines), shows the answer and writes a log row when one is due, STOP closes the link.
// The timer itself belongs to the caller (the window's timer, the command-line loop);
// each tick counts as five seconds of the record period whatever its real length.
// A poller is used from one thread at a time, and calls its view on that thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "link/module_link.h"
#include "monitor/display.h"
#include "monitor/measurement.h"
#include "monitor/monitor_settings.h"

namespace kavrel::monitor {

inline constexpr int kPollPeriodMs = 5000;
inline constexpr int kSecondsPerTick = kPollPeriodMs / 1000;
inline constexpr int kFailuresBeforeBlanking = 3;
inline constexpr int kFailedPollsMax = 255;

// The counters of one polling run, from START to STOP.
struct PollState {
    int failedPolls = 0;             // polls in a row whose exchange failed, up to 255
    int answeredPolls = 0;           // "MSR?" exchanges that succeeded since START
    int rowNumber = 0;               // log rows attempted since START
    std::int64_t rowCountdown = 0;   // seconds until the next row is due; 0 or less: due
};

// What the monitor's window implements: it draws the display and shows message boxes.
class MonitorView {
public:
    virtual ~MonitorView() = default;
    // Redraws every element from the display.
    virtual void refresh(const MonitorDisplay& display) = 0;
    // A message box with an OK button and the given icon.
    virtual void message(const std::string& text, MessageIcon icon) = 0;
    // The system's reason under a message (the command line prints it; a window need not).
    virtual void messageDetail(const std::string& text) { (void)text; }
    // START, "Ustawienia" and "Odczytaj CFG" enabled when idle; STOP when polling.
    virtual void pollingChanged(bool polling) { (void)polling; }
};

class MonitorPoller {
public:
    // The settings are the program's own and are read at START and on every tick; the
    // link is set up for the connection (TCP or serial) by the caller.
    MonitorPoller(link::ModuleLink& link, const MonitorSettings& settings, MonitorView& view, const Clock& clock);

    // The log goes to this file instead of the settings' results file (command line).
    void setLogFile(std::optional<std::filesystem::path> file) { logOverride_ = std::move(file); }
    // After the connection went away under a running poll (an adapter unplugged, a TCP peer
    // restarted), each later tick first opens the link again, quietly ("DEBUG=0", "VER?"),
    // until the module answers; a tick that cannot reach it counts as a failed poll. On by
    // default; off, the link stays as it is and every later poll fails until STOP and START.
    void setReconnect(bool reconnect) { reconnect_ = reconnect; }
    bool reconnects() const { return reconnect_; }

    // Opens the module, handshakes, writes the log header and runs the first poll.
    // Returns true when polling runs; the caller then starts its 5-second timer.
    bool startPolling();
    // One poll; does nothing when polling is not running.
    void pollTick();
    // Closes the link; the readings stay on screen.
    void stopPolling();
    // What the window shows now, which START changes only where it must (a new poller
    // starts from it instead of from blank fields).
    void showFrom(const MonitorDisplay& display) { display_ = display; }

    bool polling() const { return polling_; }
    // Whether the last tick's poll was answered with a "MSR=" reply.
    bool lastPollAnswered() const { return lastAnswered_; }
    const PollState& state() const { return state_; }
    const MeasurementSnapshot& snapshot() const { return snapshot_; }
    const ExtendedReadings& extendedReadings() const { return readings_; }
    const MonitorDisplay& display() const { return display_; }

private:
    std::filesystem::path logFile() const;
    void showVersionStatus();
    void showStatus(const std::string& text);
    // The quiet reopen of a lost connection; true when the module answered "VER?".
    bool reopenLostLink();

    link::ModuleLink& link_;
    const MonitorSettings& settings_;
    MonitorView& view_;
    const Clock& clock_;
    std::optional<std::filesystem::path> logOverride_;
    PollState state_;
    MeasurementSnapshot snapshot_;
    ExtendedReadings readings_;
    MonitorDisplay display_;
    bool polling_ = false;
    bool lastAnswered_ = false;
    bool reconnect_ = true;
};

} // namespace kavrel::monitor
