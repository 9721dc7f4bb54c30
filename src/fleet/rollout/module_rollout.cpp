#include "fleet/rollout/module_rollout.h"

#include "common/clock.h"
#include "common/observer.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/version_notes.h"
#include "config/model/write_journal.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/connection_names.h"
#include "config/protocol/history_recorder.h"
#include "config/protocol/journaled_write.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/write_check.h"
#include "config/protocol/write_settings.h"
#include "fleet/unattended_link.h"
#include "link/module_link.h"

namespace kavrel::fleet {
namespace {

// Without a limit of the user's, the configurator's own: its reply limits grow with the round
// trips a slow link shows. A limit given is kept as it is, counted from each line sent, so
// that a silent module costs a roll-out what the user chose and no more.
link::LinkVariant rolloutVariant(int timeoutMs) {
    link::LinkVariant variant = link::LinkVariant::configurator();
    if (timeoutMs <= 0) return variant;
    const auto limit = static_cast<std::uint32_t>(timeoutMs);
    variant.tcpConnectLimitMs = limit;
    variant.sendCommandTcpLimitMs = limit;
    return variant;
}

// A module read for a roll-out: its link, record, target and what would change.
struct ReadModule {
    ModuleOutcome outcome;
    link::Connection connection;
    config::SettingsImage record, target;
    std::string versionText;   // Windows-1250
    bool read = false;
};

ReadModule readModule(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                      const RolloutInputs& inputs, link::ModuleLink& moduleLink) {
    ReadModule r;
    r.outcome.name = module.name;
    r.outcome.endpoint = module.endpoint();
    const std::string address = moduleAddress(module, r.outcome.detail);
    if (address.empty()) {
        r.outcome.outcome = outcome::kReadFailed;
        return r;
    }
    r.connection = link::Connection::tcp(address, module.port,
                                         inputs.timeoutMs > 0 ? link::SerialTiming::Gap : link::SerialTiming::Fast);
    r.outcome.connection = config::journalIdentity(r.connection);
    moduleLink.setConnection(r.connection);
    moduleLink.setTrace(nullptr);
    UnattendedObserver observer;
    if (config::readSettings(moduleLink, r.record, observer, &r.versionText) != config::ConfigResult::Ok) {
        r.outcome.outcome = outcome::kReadFailed;
        r.outcome.detail = observer.last("odczyt ustawień nie powiódł się");
        return r;
    }
    r.read = true;
    r.outcome.versionText = cp1250::toUtf8(r.versionText);
    r.target = config::templateTarget(r.record, inputs.templ, inputs.fields, values);
    r.outcome.changes = config::compareSettings(r.record, r.target, config::CompareMode::Values);
    return r;
}

// The keys a module of another firmware would take otherwise than the template was read
// with; empty when the write may go on.
std::string otherFirmwareKeys(const ReadModule& r, const RolloutInputs& inputs) {
    if (inputs.yes) return "";
    const config::WriteCheck check = config::checkWrite(r.target, inputs.templateVersions, r.versionText);
    std::string keys;
    for (const std::string& key : check.versionKeys) keys += (keys.empty() ? "" : ",") + key;
    return keys.empty() ? "" : "szablon z " + cp1250::toUtf8(check.fileVersion) + ", moduł " +
                                   cp1250::toUtf8(r.versionText) + ": inaczej wysyłane " + keys;
}

void finishOutcome(ModuleOutcome& out, config::ConfigResult result, bool linesSent, const UnattendedObserver& observer,
                   const RolloutInputs& inputs) {
    out.outcome = config::historyOutcome(result, linesSent);
    if (result != config::ConfigResult::Ok) out.detail = observer.last("zapis nie powiódł się");
    out.resumable = result != config::ConfigResult::Ok &&
                    config::findUnfinishedWrite(inputs.backupFolder, out.connection).has_value();
}

ModuleOutcome resumeModule(ReadModule& r, const config::UnfinishedWrite& unfinished, link::ModuleLink& moduleLink,
                           const RolloutInputs& inputs) {
    UnattendedObserver observer;
    config::HistoryRecorder history(inputs.backupFolder, {"kavrel", KAVREL_TOOL_VERSION, "dokończenie", inputs.run},
                                    r.outcome.connection, r.target, systemClock());
    history.setJournal(unfinished.path);
    history.setModuleVersion(r.versionText);
    config::SettingsImage readBack;
    const config::ConfigResult result = config::writeWithHistory(history, observer, true, [&](config::WriteRecorder&) {
        return config::resumeWrite(moduleLink, unfinished, readBack, observer, systemClock(),
                                   {inputs.backupFolder, config::backupWord(r.connection)});
    });
    finishOutcome(r.outcome, result, true, observer, inputs);
    return r.outcome;
}

ModuleOutcome writeModule(ReadModule& r, link::ModuleLink& moduleLink, const RolloutInputs& inputs) {
    UnattendedObserver observer;
    const LocalDateTime now = systemClock().now();
    const config::BackupResult backup =
        config::saveBackup(inputs.backupFolder, r.record, r.versionText, config::backupWord(r.connection), now);
    if (!backup.saved) {
        r.outcome.outcome = config::historyOutcome(config::ConfigResult::BackupFailed, false);
        r.outcome.detail = "nie można zapisać kopii " + backup.path;
        return r.outcome;
    }
    (void)config::noteSettingsVersion(inputs.backupFolder, r.record, r.versionText);
    config::JournalRecorder journal =
        config::journalForWrite(inputs.backupFolder, r.outcome.connection, r.target, {}, now);
    journal.backedUp(backup.path);
    config::HistoryRecorder history(inputs.backupFolder, {"kavrel", KAVREL_TOOL_VERSION, "wdrożenie", inputs.run},
                                    r.outcome.connection, r.target, systemClock(), &journal);
    history.setJournal(journal.path());
    history.setModuleVersion(r.versionText);
    history.knowBefore(r.record);
    config::SettingsImage readBack;
    const std::string readVersion = r.versionText;
    const config::PlanWrite plan = [&](const link::FirmwareVersion& version,
                                       const std::string& versionText) -> std::optional<config::WritePlan> {
        if (!config::sameVersionText(versionText, readVersion)) {   // another module answers at this address now
            observer.message(W("Moduł zgłasza inną wersję niż przy odczycie: ") + versionText, MessageIcon::Error);
            return std::nullopt;
        }
        return config::WritePlan{config::writeSequence(r.target, version), 0};
    };
    const config::ConfigResult result = config::writeWithHistory(history, observer, false, [&](config::WriteRecorder& recorder) {
        return config::writePlanned(moduleLink, r.target, readBack, {}, observer, {systemClock(), &recorder}, plan);
    });
    finishOutcome(r.outcome, result, history.linesSent(), observer, inputs);
    return r.outcome;
}

// The module read and its target made; false, with the outcome said, when it cannot be read
// or is on a firmware the template would be sent to otherwise.
bool readWritable(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                  const RolloutInputs& inputs, link::ModuleLink& moduleLink, ReadModule& r) {
    r = readModule(module, values, inputs, moduleLink);
    if (!r.read) return false;
    if (const std::string keys = otherFirmwareKeys(r, inputs); !keys.empty()) {
        r.outcome.outcome = outcome::kOtherFirmware;
        r.outcome.detail = keys;
        return false;
    }
    return true;
}

} // namespace

ModuleOutcome readModuleRecord(const FleetModule& module, const RolloutInputs& inputs, config::SettingsImage& record) {
    link::ModuleLink moduleLink(rolloutVariant(inputs.timeoutMs), link::Connection());
    ReadModule r = readModule(module, {}, inputs, moduleLink);
    if (!r.read && r.outcome.detail.empty()) r.outcome.detail = "odczyt ustawień nie powiódł się";
    record = r.record;
    return r.outcome;
}

ModuleOutcome planModule(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                         const RolloutInputs& inputs) {
    link::ModuleLink moduleLink(rolloutVariant(inputs.timeoutMs), link::Connection());
    ReadModule r;
    if (!readWritable(module, values, inputs, moduleLink, r)) return r.outcome;
    r.outcome.outcome = r.outcome.changes.empty() ? outcome::kUnchanged : outcome::kWouldWrite;
    return r.outcome;
}

ModuleOutcome applyModule(const FleetModule& module, const std::vector<config::ModuleValue>& values,
                          const RolloutInputs& inputs) {
    link::ModuleLink moduleLink(rolloutVariant(inputs.timeoutMs), link::Connection());
    ReadModule r;
    if (!readWritable(module, values, inputs, moduleLink, r)) return r.outcome;
    const auto unfinished = config::findUnfinishedWrite(inputs.backupFolder, r.outcome.connection);
    if (unfinished && unfinished->state == config::JournalLoad::Ok && unfinished->journal.target == r.target)
        return resumeModule(r, *unfinished, moduleLink, inputs);
    if (r.outcome.changes.empty()) {
        r.outcome.outcome = outcome::kUnchanged;
        return r.outcome;
    }
    return writeModule(r, moduleLink, inputs);
}

} // namespace kavrel::fleet
