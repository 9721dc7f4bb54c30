#include "config/protocol/write_settings.h"

#include "common/win1250.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/verify_settings.h"
#include "link/handshake.h"

namespace kavrel::config {

ConfigResult writeSettings(link::ModuleLink& link, int comPort, const SettingsImage& working, SettingsImage& readBack,
                           const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context) {
    link::FirmwareVersion version;
    if (const link::LinkResult opened =
            link::connectModule(link, comPort, link::HandshakePurpose::WriteSettings, observer, version);
        opened != link::LinkResult::Ok)
        return configResult(opened);
    observer.progress(5);
    for (const WriteStep& step : writeSequence(working, version)) {
        if (step.progressBefore >= 0) observer.progress(step.progressBefore);
        link::LinkResult result = link.sendCommand(step.line);
        if (result != link::LinkResult::Ok && step.secondTry) result = link.sendCommand(step.line);
        if (result != link::LinkResult::Ok && !step.halt) {
            observer.message(step.failureBox, MessageIcon::Warning);
            observer.status(step.failureStatus);
            link::disconnectModule(link);
            return configResult(result);
        }
        if (step.progressAfter >= 0) observer.progress(step.progressAfter);
    }
    observer.progress(100);
    observer.status(W("Ustawienia wysłane do modułu"));
    ConfigResult result = verifySettings(link, working, readBack, version, observer, context.clock).result;
    if (result == ConfigResult::Ok) result = configResult(runServiceActions(link, version, choice, observer, context.clock));
    link::disconnectModule(link);
    return result;
}

} // namespace kavrel::config
