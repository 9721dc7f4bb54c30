#include "monitor/poll_session.h"

namespace kavrel::monitor {

PollSession::PollSession(const MonitorSettings& settings, const link::Connection& connection,
                         std::shared_ptr<const link::LinkInterrupt> interrupt)
    : settings_(settings), link_(link::LinkVariant::monitor(), connection), poller_(link_, settings_, view_, clock_) {
    link_.setInterrupt(std::move(interrupt));
}

PollResult PollSession::start(OperationObserver& observer) {
    view_.observer = &observer;
    poller_.startPolling();
    view_.observer = nullptr;
    return result();
}

PollResult PollSession::tick(OperationObserver& observer) {
    view_.observer = &observer;
    poller_.pollTick();
    view_.observer = nullptr;
    return result();
}

PollResult PollSession::stop() {
    if (poller_.polling()) poller_.stopPolling();
    else link_.close();
    return result();
}

PollResult PollSession::result() const {
    return {poller_.display(), poller_.snapshot(), poller_.state(), poller_.polling(), poller_.lastPollAnswered()};
}

} // namespace kavrel::monitor
