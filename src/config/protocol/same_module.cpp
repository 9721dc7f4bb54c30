#include "config/protocol/same_module.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/protocol/command_lines.h"
#include "config/protocol/read_settings.h"
#include "config/protocol/reviewed_write.h"
#include "config/protocol/write_check.h"

namespace kavrel::config {
namespace {

using ElementSet = std::set<std::pair<const FieldInfo*, int>>;

std::set<std::string> sequenceLines(const SettingsImage& image, const link::FirmwareVersion& version) {
    std::set<std::string> lines;
    for (WriteStep& step : writeSequence(image, version)) lines.insert(std::move(step.line));
    return lines;
}

ElementSet carriedBy(const SettingsImage& image, const link::FirmwareVersion& version,
                     const std::vector<std::string>& lines) {
    ElementSet carried;
    const std::set<std::string> original = sequenceLines(image, version);
    std::vector<std::string> wanted;
    for (const std::string& line : lines)
        if (original.count(line)) wanted.push_back(line);   // a line the record does not give carries nothing
    if (wanted.empty()) return carried;
    for (const FieldInfo& info : fieldTable()) {
        if (info.kind == FieldKind::Reserved) continue;
        for (int number = info.first; number <= info.last(); ++number) {
            SettingsImage altered = image;
            alterElement(altered, info, number);
            const std::set<std::string> alteredLines = sequenceLines(altered, version);
            if (std::any_of(wanted.begin(), wanted.end(), [&](const std::string& l) { return !alteredLines.count(l); }))
                carried.insert({&info, number});
        }
    }
    return carried;
}

std::string keysText(const std::vector<FieldChange>& differences) {
    std::string text;
    const std::size_t shown = std::min<std::size_t>(differences.size(), 5);
    for (std::size_t i = 0; i < shown; ++i) text += (i ? ", " : "") + differences[i].key;
    if (differences.size() > shown) text += W(" i inne");
    return text;
}

} // namespace

ElementFilter elementsOfLines(const SettingsImage& image, const link::FirmwareVersion& version,
                              const std::vector<std::string>& lines) {
    auto carried = std::make_shared<ElementSet>(carriedBy(image, version, lines));
    return [carried](const FieldInfo& info, int number) { return carried->count({&info, number}) != 0; };
}

ExpectedModule expectedModule(const WriteJournal& journal, const link::FirmwareVersion& version) {
    std::vector<std::string> acknowledged, inFlight;
    const std::size_t first = journal.firstUnacknowledged();
    for (std::size_t i = 0; i < journal.lines.size(); ++i) {
        if (journal.lines[i].acknowledged) acknowledged.push_back(journal.lines[i].text);
        else if (i == first) inFlight.push_back(journal.lines[i].text);
    }
    const ElementSet written = carriedBy(journal.target, version, acknowledged);
    ElementSet untouched;
    ExpectedModule expected{journal.target, {}};
    SettingsImage backup;
    std::size_t backupSize = 0;
    // A cut restore's journal has the backup as its target: where it had not reached, the
    // module may hold the backup or what the first write left; only its own lines tell.
    if (!journal.backupPath.empty() && loadSettingsFile(journal.backupPath, backup, &backupSize) == FileResult::Ok &&
        backupSize > 0 && !std::ranges::equal(backup.bytes(), journal.target.bytes())) {
        // Where the write had not reached, the module still holds what was backed up.
        expected.settings = backup;
        const ElementFilter sent = sentElements(backup, version);
        const ElementSet taken = carriedBy(journal.target, version, inFlight);
        for (const FieldInfo& info : fieldTable()) {
            if (info.kind == FieldKind::Reserved) continue;
            for (int number = info.first; number <= info.last(); ++number)
                if (sent(info, number) && !taken.count({&info, number}) && !written.count({&info, number}))
                    untouched.insert({&info, number});
        }
    }
    for (const auto& [info, number] : written) {
        const auto from = journal.target.element(info->id, number);
        std::copy(from.begin(), from.end(), expected.settings.element(info->id, number).begin());
    }
    ElementSet all = written;
    all.insert(untouched.begin(), untouched.end());
    auto shared = std::make_shared<ElementSet>(std::move(all));
    expected.include = [shared](const FieldInfo& info, int number) { return shared->count({&info, number}) != 0; };
    return expected;
}

ConfigResult checkSameModule(link::ModuleLink& link, const WriteJournal& journal, GuardedAction action,
                             const ModuleGuard& guard, OperationObserver& observer, const Clock& clock,
                             std::string& otherBackup) {
    otherBackup.clear();
    SettingsImage module;
    std::string versionText;
    if (const ConfigResult read = readSettings(link, module, observer, &versionText); read != ConfigResult::Ok)
        return read;
    const ExpectedModule expected = expectedModule(journal, link::parseVersion(journal.versionText));
    std::vector<FieldChange> differences =
        compareSettings(module, expected.settings, CompareMode::Values, expected.include);
    if (!sameVersionText(versionText, journal.versionText)) differences.insert(differences.begin(), FieldChange{.key = "VER"});
    if (differences.empty()) return ConfigResult::Ok;

    const BackupResult backup = saveBackup(guard.backupFolder, module, versionText, guard.connection, clock.now());
    if (!backup.saved) {
        observer.message(backupFailedMessage(backup.path), MessageIcon::Error);
        observer.status(backupFailedStatus());
        return ConfigResult::BackupFailed;
    }
    const std::string what = action == GuardedAction::Resume ? W("zapisać w nim całe ustawienia przerwanego zapisu")
                                                             : W("zapisać w nim kopię z przerwanego zapisu");
    const std::string question =
        W("Moduł pod tym połączeniem ma inne ustawienia, niż przerwany zapis w nim zostawił (") + keysText(differences) +
        W("): to może być inny moduł.\r\nJego ustawienia zachowano w kopii zapasowej:\r\n") +
        cp1250::fromUtf8(backup.path) + W("\r\nCzy mimo to ") + what + "?";
    if (observer.askYesNo(question)) {
        otherBackup = backup.path;
        return ConfigResult::Ok;
    }
    observer.status(W("Zapis nie został dokończony"));
    return ConfigResult::WriteRefused;
}

} // namespace kavrel::config
