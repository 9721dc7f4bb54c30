#include "config/protocol/reviewed_write.h"

#include <memory>
#include <set>
#include <utility>

#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/version_notes.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/read_settings.h"

namespace kavrel::config {
namespace {

std::vector<std::string> sequenceLines(const SettingsImage& image, const link::FirmwareVersion& version) {
    std::vector<std::string> lines;
    for (WriteStep& step : writeSequence(image, version)) lines.push_back(std::move(step.line));
    return lines;
}

} // namespace

void alterElement(SettingsImage& image, const FieldInfo& info, int number) {
    auto bytes = image.element(info.id, number);
    if (info.kind == FieldKind::Text) bytes[0] = bytes[0] == 'x' ? 'y' : 'x';
    else bytes[0] ^= 0x01;
}

ElementFilter sentElements(const SettingsImage& working, const link::FirmwareVersion& version) {
    // Asking the write sequence itself keeps this list true to every version rule and
    // every dependent line (URL0 only with HTTP on, XCFG only with the extension) without
    // a second copy of those rules.
    auto sent = std::make_shared<std::set<std::pair<const FieldInfo*, int>>>();
    const auto original = sequenceLines(working, version);
    for (const FieldInfo& info : fieldTable()) {
        if (info.kind == FieldKind::Reserved) continue;
        for (int number = info.first; number <= info.last(); ++number) {
            SettingsImage altered = working;
            alterElement(altered, info, number);
            if (sequenceLines(altered, version) != original) sent->insert({&info, number});
        }
    }
    return [sent](const FieldInfo& info, int number) { return sent->count({&info, number}) != 0; };
}

std::vector<FieldChange> changesForWrite(const SettingsImage& module, const SettingsImage& working,
                                         const link::FirmwareVersion& version) {
    return compareSettings(module, working, CompareMode::Values, sentElements(working, version));
}

std::string backupFailedMessage(const std::string& path) {
    return W("Nie udało się zapisać kopii zapasowej ustawień modułu:\r\n") + cp1250::fromUtf8(path) +
           W("\r\nUstawienia nie zostały wysłane do modułu.");
}

std::string backupFailedStatus() { return W("Błąd zapisu kopii zapasowej, ustawienia nie wysłane"); }

std::string writeCancelledStatus() { return W("Wysyłanie ustawień anulowane"); }

ConfigResult writeSettingsReviewed(link::ModuleLink& link, const SettingsImage& working, SettingsImage& readBack,
                                   const ServiceChoice& choice, OperationObserver& observer,
                                   const WriteContext& context, const WriteReview& review,
                                   ReviewedWriteOutcome& outcome) {
    outcome = {};
    std::string versionText;
    if (const ConfigResult r = readSettings(link, outcome.module, observer, &versionText); r != ConfigResult::Ok)
        return r;
    outcome.changes = changesForWrite(outcome.module, working, link::parseVersion(versionText));
    if (review.confirm && !review.confirm({outcome.module, versionText, outcome.changes})) {
        observer.status(writeCancelledStatus());
        return ConfigResult::WriteCancelled;
    }
    if (!review.backupFolder.empty()) {
        const BackupResult backup =
            saveBackup(review.backupFolder, outcome.module, versionText, review.connection, context.clock.now());
        if (!backup.saved) {
            observer.message(backupFailedMessage(backup.path), MessageIcon::Error);
            observer.status(backupFailedStatus());
            return ConfigResult::BackupFailed;
        }
        outcome.backupPath = backup.path;
        (void)noteSettingsVersion(review.backupFolder, outcome.module, versionText);  // best effort
        if (context.recorder) context.recorder->backedUp(backup.path);
    }
    return writeSettings(link, working, readBack, choice, observer, context);
}

} // namespace kavrel::config
