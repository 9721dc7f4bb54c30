#include "config/protocol/write_settings.h"

#include "common/win1250.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/verify_settings.h"
#include "link/handshake.h"

namespace kavrel::config {

int writeSettings(link::ModuleLink& link, int comPort, const SettingsImage& working, SettingsImage& readBack,
                  const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context) {
    link::FirmwareVersion version;
    if (const int opened = link::connectModule(link, comPort, link::HandshakePurpose::WriteSettings, observer, version);
        opened != link::kLinkOk)
        return opened;
    observer.progress(5);
    for (const WriteStep& step : writeSequence(working, version)) {
        if (step.progressBefore >= 0) observer.progress(step.progressBefore);
        int result = link.sendCommand(step.line);
        if (result != link::kLinkOk && step.secondTry) result = link.sendCommand(step.line);
        if (result != link::kLinkOk && !step.halt) {
            observer.message(step.failureBox, MessageIcon::Warning);
            observer.status(step.failureStatus);
            link::disconnectModule(link);
            return result;
        }
        if (step.progressAfter >= 0) observer.progress(step.progressAfter);
    }
    observer.progress(100);
    observer.status(W("Ustawienia wysłane do modułu"));
    int result = verifySettings(link, working, readBack, version, observer, context.sleep).result;
    if (result == link::kLinkOk) result = runServiceActions(link, version, choice, observer, context.clock);
    link::disconnectModule(link);
    return result;
}

} // namespace kavrel::config
