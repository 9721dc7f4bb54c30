// The service actions after a verified write: counter reset, event-memory erase, clock
// setting and restart.
#pragma once

#include <string>

#include "common/clock.h"
#include "common/observer.h"
#include "link/firmware_version.h"
#include "link/module_link.h"

namespace kavrel::config {

// The main window's four check boxes.
struct ServiceChoice {
    bool resetCounters = false;   // "Wyzeruj stan liczników" (firmware 2.0 and later)
    bool eraseLog = false;        // "Skasuj pamięć zdarzeń" (firmware 2.0 and later)
    bool setClock = false;        // "Ustaw zegar RTC w module"
    bool restart = false;         // "Restart modułu po wysłaniu ustawień"
};

// Runs the ticked actions in order on the open link, appending ",liczniki wyzerowane",
// ", log skasowany", ",zegar ustawiony" and ",\r\nrestart modułu." to the status. An
// unanswered action ends the run with its message box and status text. Returns 0 or the
// failing action's link result. The link is left open.
link::LinkResult runServiceActions(link::ModuleLink& link, const link::FirmwareVersion& version, const ServiceChoice& choice,
                                   OperationObserver& observer, const Clock& clock);

} // namespace kavrel::config
