// A logger's connection to one module: the link, the connection settings it was opened
// with, the last status read, and the operations that open, close and refresh it.
//
// Every operation reports through the observer and, like the window's buttons, closes the
// link when the module cannot be understood.
#pragma once

#include <cstdint>
#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "link/module_link.h"
#include "logger/protocol/frame_trace.h"
#include "logger/protocol/module_status.h"

namespace kavrel::logger {

struct LoggerSession {
    // The link's trace, when it has one, shows the replies as the logger's frames.
    LoggerSession(link::ModuleLink& moduleLink, OperationObserver& operationObserver)
        : link(moduleLink), observer(operationObserver) {
        link.setFrameDescriber(describeLoggerReply);
    }

    link::ModuleLink& link;
    OperationObserver& observer;
    bool fixedSpeed = false;       // stay at 9600 baud on a serial link
    // The protocol's pauses and the calendar seconds of a download's start and summary.
    const Clock* clock = &systemClock();

    ModuleStatus status;           // the status read last
    bool connected = false;        // "Połączenie nawiązane": a status was read on this link
};

enum class [[nodiscard]] StatusResult : int {
    Ok = 0,
    NoReply = 1,
    Unrecognised = 2,
    WrongLength = 3,
    Error = 4,
};

// Selector of the status request: 3 before a download, 0 everywhere else.
inline constexpr int kStatusSelector = 0;
inline constexpr int kStatusSelectorBeforeDownload = 3;

// "Połącz": closes a link left open, opens the link's connection with the speed switch
// unless fixedSpeed, says
// "HALT! DEBUG=0" and reads the status. Returns the status result, or the open failure
// (as NoReply) after its message.
StatusResult connectSession(LoggerSession& session);

// "*EOT!" twice when the line was switched to 115200 baud, then close.
void disconnectSession(LoggerSession& session);

// "*EOT!" twice, each waiting for one byte: the module's line goes back to 9600 baud.
void endFastTransfer(link::ModuleLink& link);

// Reads the status frame into session.status (six attempts); on failure shows the
// message, disconnects and returns the reason.
StatusResult readStatus(LoggerSession& session, int selector);

// Re-opens the link, at the same speed (download's TCP reconnection).
link::LinkResult reopenLink(LoggerSession& session);

} // namespace kavrel::logger
