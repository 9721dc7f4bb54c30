// One polling run as the worker thread sees it: the link, copies of the settings and the
// connection taken at START, and the poller working on them. The window hands the session
// to one operation at a time (START, a tick, STOP) and gets a PollResult back when the
// operation has ended; it never reads or changes the session while an operation runs.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "link/connection.h"
#include "link/module_link.h"
#include "monitor/poller.h"

namespace kavrel::monitor {

// What one operation leaves for the window: everything it shows, as values.
struct PollResult {
    MonitorDisplay display;
    MeasurementSnapshot snapshot;
    PollState state;
    bool polling = false;    // the run goes on (START succeeded and STOP has not been done)
    bool answered = false;   // the operation's poll was answered with a "MSR=" reply
};

class PollSession {
public:
    // connection: resolved by the window from the user's settings (the device the port
    // number stands for, the serial timing).
    // interrupt: what the window triggers when it goes away, ending the link's waits.
    PollSession(const MonitorSettings& settings, const link::Connection& connection,
                std::shared_ptr<const link::LinkInterrupt> interrupt = nullptr);
    PollSession(const PollSession&) = delete;
    PollSession& operator=(const PollSession&) = delete;

    // What the window shows when START is pressed: START changes only what it must.
    // It is also what stays behind a message box that comes before the poller has shown
    // anything (a START whose connection fails), never an empty window.
    void showFrom(const MonitorDisplay& display) {
        poller_.showFrom(display);
        view_.shown = display;
    }
    // Called on the worker with what the window should show before a message box of the
    // step comes up (the box then explains what is shown, e.g. "BEZ ZAPISU DO PLIKU!").
    void setShowBeforeMessage(std::function<void(const MonitorDisplay&)> show) { view_.showBeforeMessage = std::move(show); }
    // Whether a tick after a lost connection opens the link again (MonitorPoller::setReconnect).
    void setReconnect(bool reconnect) { poller_.setReconnect(reconnect); }

    // The steps of the run; message boxes go through the observer and wait for the user.
    PollResult start(OperationObserver& observer);
    PollResult tick(OperationObserver& observer);
    PollResult stop();

    bool polling() const { return poller_.polling(); }
    // The wire trace of this run's link (set before START; without it KAVREL_TRACE's).
    void setTrace(std::shared_ptr<link::WireTrace> trace) { link_.setTrace(std::move(trace)); }

private:
    // The poller's view: message boxes to the observer of the running operation; the
    // display is taken from the poller when the operation ends.
    class View final : public MonitorView {
    public:
        void refresh(const MonitorDisplay& display) override { shown = display; }
        void message(const std::string& text, MessageIcon icon) override {
            if (showBeforeMessage) showBeforeMessage(shown);
            if (observer) observer->message(text, icon);
        }
        OperationObserver* observer = nullptr;
        MonitorDisplay shown;
        std::function<void(const MonitorDisplay&)> showBeforeMessage;
    };

    PollResult result() const;

    MonitorSettings settings_;
    link::ModuleLink link_;
    View view_;
    SystemClock clock_;
    MonitorPoller poller_;
};

} // namespace kavrel::monitor
