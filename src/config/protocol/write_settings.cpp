#include "config/protocol/write_settings.h"

#include "common/win1250.h"
#include "config/protocol/verify_settings.h"
#include "link/handshake.h"

namespace kavrel::config {
namespace {

// A write whose record of progress cannot be kept goes no further: a cut after this point
// could not be finished or undone from it.
ConfigResult stoppedByRecorder(link::ModuleLink& link, const WriteRecorder& recorder, OperationObserver& observer) {
    observer.message(recorder.stopReason(), MessageIcon::Error);
    observer.status(W("Zapis przerwany"));
    link::disconnectModule(link);
    return ConfigResult::JournalFailed;
}

} // namespace

ConfigResult writeSettings(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                           const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context) {
    return writePlanned(link, working, readBack, choice, observer, context,
                        [&working](const link::FirmwareVersion& version, const std::string&) {
                            return WritePlan{writeSequence(working, version), 0};
                        });
}

ConfigResult writePlanned(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                          const ServiceChoice& choice, OperationObserver& observer, const WriteContext& context,
                          const PlanWrite& plan) {
    link::FirmwareVersion version;
    if (const link::LinkResult opened =
            link::connectModule(link, link::HandshakePurpose::WriteSettings, observer, version);
        opened != link::LinkResult::Ok)
        return configResult(opened);
    const std::string versionText(link.versionText());
    const std::optional<WritePlan> planned = plan(version, versionText);
    if (!planned) {
        link::disconnectModule(link);
        return ConfigResult::WriteRefused;
    }
    WriteRecorder* recorder = context.recorder;
    if (recorder && !recorder->starting(versionText, planned->steps, planned->first))
        return stoppedByRecorder(link, *recorder, observer);
    observer.progress(5);
    for (std::size_t index = planned->first; index < planned->steps.size(); ++index) {
        const WriteStep& step = planned->steps[index];
        if (step.progressBefore >= 0) observer.progress(step.progressBefore);
        link::LinkResult result = link.sendCommand(step.line);
        if (result != link::LinkResult::Ok && step.secondTry) result = link.sendCommand(step.line);
        if (result == link::LinkResult::Ok && recorder && !recorder->acknowledged(index))
            return stoppedByRecorder(link, *recorder, observer);
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
    if (result == ConfigResult::Ok && recorder) recorder->verified();
    if (result == ConfigResult::Ok) result = configResult(runServiceActions(link, version, choice, observer, context.clock));
    link::disconnectModule(link);
    return result;
}

} // namespace kavrel::config
