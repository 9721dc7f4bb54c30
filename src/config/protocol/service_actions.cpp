#include "config/protocol/service_actions.h"

#include <array>

#include "common/win1250.h"
#include "link/clock_line.h"

namespace kavrel::config {

link::LinkResult runServiceActions(link::ModuleLink& link, const link::FirmwareVersion& version, const ServiceChoice& choice,
                                   OperationObserver& observer, const Clock& clock) {
    struct Action {
        bool chosen;
        bool needsV20;
        std::string line;
        const char* box;
        const char* status;
        const char* done;
    };
    const std::array actions = {
        Action{choice.resetCounters, true, "RCNT!", "Brak odpowiedzi RCNT", "Błąd kasowania liczników", ",liczniki wyzerowane"},
        Action{choice.eraseLog, true, "ERS!", "Brak odpowiedzi ERS", "Błąd kasowania logu", ", log skasowany"},
        Action{choice.setClock, false, choice.setClock ? link::clockLine(clock.now()) : std::string(), "Brak odpowiedzi",
               "Błąd ustawiania RTC", ",zegar ustawiony"},
    };
    for (const Action& action : actions) {
        if (!action.chosen || (action.needsV20 && !version.fromV20())) continue;
        if (const link::LinkResult r = link.sendCommand(action.line); r != link::LinkResult::Ok) {
            observer.message(W(action.box), MessageIcon::Warning);
            observer.status(W(action.status));
            return r;
        }
        observer.appendStatus(W(action.done));
    }
    if (choice.restart) {
        (void)link.sendCommand("INIT!");  // the module restarts; its answer is not examined
        observer.appendStatus(W(",\r\nrestart modułu."));
    }
    return link::LinkResult::Ok;
}

} // namespace kavrel::config
