#include "config/protocol/journaled_write.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/version_notes.h"
#include "config/protocol/reviewed_write.h"
#include "config/protocol/write_check.h"

namespace kavrel::config {
namespace {

struct ActionWord {
    const char* word;
    bool ServiceChoice::*flag;
};
constexpr ActionWord kActionWords[] = {{"counters", &ServiceChoice::resetCounters},
                                       {"erase", &ServiceChoice::eraseLog},
                                       {"rtc", &ServiceChoice::setClock},
                                       {"restart", &ServiceChoice::restart}};

// The steps of a resume: the write sequence of the journal's record (which its hash
// guards), and only when the journal's lines are exactly those. The lines themselves are
// no proof: an edited journal (a line with a CR inside, a service command added) would
// otherwise be sent as it stands, and a journal of another program version cannot say which
// of the record's lines were acknowledged.
std::optional<std::vector<WriteStep>> stepsOfJournal(const WriteJournal& journal, const link::FirmwareVersion& version) {
    std::vector<WriteStep> steps = writeSequence(journal.target, version);
    const bool same = std::equal(steps.begin(), steps.end(), journal.lines.begin(), journal.lines.end(),
                                 [](const WriteStep& step, const JournalLine& line) { return step.line == line.text; });
    if (!same) return std::nullopt;
    return steps;
}

void refuseForeignLines(const UnfinishedWrite& unfinished, OperationObserver& observer) {
    observer.message(W("Linie dziennika przerwanego zapisu nie są liniami jego ustawień (dziennik zmieniony poza "
                       "programem albo zapisany przez inną jego wersję):\r\n") +
                         cp1250::fromUtf8(unfinished.path) +
                         W("\r\nZapis nie został dokończony; można przywrócić kopię albo zapisać ustawienia od nowa."),
                     MessageIcon::Error);
    observer.status(W("Zapis nie został dokończony"));
}

// The backup's own write, then the lines that put back what the cut write may have changed
// where the backup's write does not reach: settings kept while switched off (the extended
// lines' texts with the extension off, the HTTP addresses with HTTP off). They are sent with
// the backup's values, by asking the sequence of the backup with those switches as the
// interrupted write had them.
std::vector<WriteStep> restoreSteps(const SettingsImage& backup, const SettingsImage* interrupted,
                                    const link::FirmwareVersion& version) {
    std::vector<WriteStep> steps = writeSequence(backup, version);
    if (!interrupted) return steps;
    SettingsImage switched = backup;
    for (const Field gate : {Field::Mcfg2, Field::Thtp}) switched.setByte(gate, interrupted->byte(gate));
    const std::string gateKeys[] = {std::string(fieldInfo(Field::Mcfg2).key) + "=", std::string(fieldInfo(Field::Thtp).key) + "="};
    std::vector<WriteStep> extra;
    for (WriteStep& step : writeSequence(switched, version)) {
        const bool known = std::any_of(steps.begin(), steps.end(), [&](const WriteStep& s) { return s.line == step.line; });
        const bool gate = std::any_of(std::begin(gateKeys), std::end(gateKeys),
                                      [&](const std::string& key) { return step.line.find(key) != std::string::npos; });
        if (!known && !gate && !step.halt) extra.push_back(std::move(step));
    }
    for (WriteStep& step : extra) {
        step.progressBefore = step.progressAfter = -1;
        steps.push_back(std::move(step));
    }
    return steps;
}

} // namespace

JournalRecorder::JournalRecorder(std::string path, WriteJournal journal)
    : path_(std::move(path)), journal_(std::move(journal)) {}

void JournalRecorder::backedUp(const std::string& path) { journal_.backupPath = path; }

bool JournalRecorder::starting(const std::string& versionText, const std::vector<WriteStep>& steps, std::size_t first) {
    journal_.versionText = versionText;
    const bool sameLines = std::equal(steps.begin(), steps.end(), journal_.lines.begin(), journal_.lines.end(),
                                      [](const WriteStep& step, const JournalLine& line) { return step.line == line.text; });
    if (!sameLines) {
        journal_.lines.clear();
        for (std::size_t i = 0; i < steps.size(); ++i) journal_.lines.push_back({steps[i].line, i < first});
    }
    if (path_.empty()) {
        stopReason_ = noBackupFolderText() + W("\r\nNic nie zostało wysłane do modułu.");
        return false;
    }
    // On the disk before the first line goes out.
    if (saveJournal(path_, journal_, true)) return true;
    stopReason_ = W("Nie można zapisać dziennika zapisu (brak miejsca na dysku albo prawa zapisu):\r\n") +
                  cp1250::fromUtf8(path_) +
                  W("\r\nBez niego przerwanego zapisu nie dałoby się dokończyć ani cofnąć; nic nie zostało wysłane do modułu.");
    return false;
}

bool JournalRecorder::acknowledged(std::size_t index) {
    if (index >= journal_.lines.size() || journal_.lines[index].acknowledged) return true;
    journal_.lines[index].acknowledged = true;
    if (saveJournal(path_, journal_, false)) return true;
    // The file keeps its last saved state, which a resume goes on from (sending again the
    // lines acknowledged since).
    stopReason_ = W("Nie można zapisać dziennika zapisu (brak miejsca na dysku albo prawa zapisu):\r\n") +
                  cp1250::fromUtf8(path_) + W("\r\nZapis zatrzymano po ") + std::to_string(index + 1) + W(". z ") +
                  std::to_string(journal_.lines.size()) +
                  W(" linii; zapisany wcześniej dziennik pozwala go dokończyć albo przywrócić kopię.");
    return false;
}

void JournalRecorder::verified() {
    if (!removeJournal(path_) && problem_.empty()) problem_ = "Nie udało się usunąć dziennika zapisu: " + path_;
}

std::vector<std::string> actionWords(const ServiceChoice& choice) {
    std::vector<std::string> words;
    for (const auto& action : kActionWords)
        if (choice.*action.flag) words.emplace_back(action.word);
    return words;
}

ServiceChoice choiceOfActions(const std::vector<std::string>& words) {
    ServiceChoice choice;
    for (const auto& action : kActionWords)
        choice.*action.flag = std::find(words.begin(), words.end(), action.word) != words.end();
    return choice;
}

JournalRecorder journalForWrite(const std::string& folder, const std::string& connection, const SettingsImage& target,
                                const ServiceChoice& choice, const LocalDateTime& now) {
    WriteJournal journal;
    journal.connection = connection;
    journal.target = target;
    journal.started = now;
    journal.actions = actionWords(choice);
    return JournalRecorder(journalPath(folder, connection), std::move(journal));
}

std::optional<UnfinishedWrite> findUnfinishedWrite(const std::string& folder, const std::string& connection) {
    UnfinishedWrite unfinished;
    unfinished.connection = connection;
    unfinished.path = journalPath(folder, connection);
    unfinished.state = loadJournal(unfinished.path, unfinished.journal);
    if (unfinished.state == JournalLoad::Missing) return std::nullopt;
    // Another connection whose name makes the same file name.
    if (unfinished.state == JournalLoad::Ok && unfinished.journal.connection != connection) return std::nullopt;
    return unfinished;
}

std::string unfinishedWriteText(const UnfinishedWrite& unfinished) {
    if (unfinished.state != JournalLoad::Ok)
        return W("Uszkodzony dziennik niedokończonego zapisu ustawień:\r\n") + cp1250::fromUtf8(unfinished.path);
    const WriteJournal& journal = unfinished.journal;
    std::string text = W("Niedokończony zapis ustawień do modułu (") + cp1250::fromUtf8(journal.connection) + ")\r\n";
    text += W("Moduł ") + journal.versionText + W(", zapis rozpoczęty ") + backupTimeText(journal.started) + "\r\n";
    text += W("Potwierdzone linie: ") + std::to_string(journal.acknowledgedCount()) + " z " +
            std::to_string(journal.lines.size()) + "\r\n";
    if (journal.backupPath.empty()) text += W("Brak kopii zapasowej: można tylko dokończyć zapis.");
    else text += W("Kopia zapasowa: ") + cp1250::fromUtf8(journal.backupPath);
    return text;
}

std::string nothingToResumeText() { return W("Brak niedokończonego zapisu ustawień dla tego połączenia"); }

std::string noBackupToRestoreText() { return W("Niedokończony zapis nie ma kopii zapasowej do przywrócenia"); }

ConfigResult resumeWrite(link::ModuleLink& link, const UnfinishedWrite& unfinished, SettingsImage& readBack,
                         OperationObserver& observer, const Clock& clock, const ModuleGuard& guard) {
    if (unfinished.state != JournalLoad::Ok) {
        observer.message(unfinishedWriteText(unfinished), MessageIcon::Error);
        return ConfigResult::NothingToResume;
    }
    const WriteJournal& journal = unfinished.journal;
    // Before anything is read or sent: the lines must be the record's own.
    if (!stepsOfJournal(journal, link::parseVersion(journal.versionText))) {
        refuseForeignLines(unfinished, observer);
        return ConfigResult::WriteRefused;
    }
    std::string otherBackup;
    if (const ConfigResult same =
            checkSameModule(link, journal, GuardedAction::Resume, guard, observer, clock, otherBackup);
        same != ConfigResult::Ok)
        return same;
    const bool other = !otherBackup.empty();
    // Into another module the write goes whole: none of its lines is in it yet, and what it
    // held before is the backup now.
    WriteJournal restarted = journal;
    if (other) {
        for (JournalLine& line : restarted.lines) line.acknowledged = false;
        restarted.backupPath = otherBackup;
    }
    JournalRecorder recorder(unfinished.path, std::move(restarted));
    const PlanWrite plan = [&](const link::FirmwareVersion& version,
                               const std::string& versionText) -> std::optional<WritePlan> {
        if (!sameVersionText(versionText, journal.versionText)) {
            const std::string text = W("Moduł zgłasza wersję ") + versionText + W(", a przerwany zapis był do wersji ") +
                                     journal.versionText + W(".\r\nZapis nie został dokończony.");
            observer.message(text, MessageIcon::Error);
            observer.status(W("Zapis nie został dokończony"));
            return std::nullopt;
        }
        std::optional<std::vector<WriteStep>> steps = stepsOfJournal(journal, version);
        if (!steps) {
            refuseForeignLines(unfinished, observer);
            return std::nullopt;
        }
        return WritePlan{std::move(*steps), other ? 0 : journal.firstUnacknowledged()};
    };
    return writePlanned(link, journal.target, readBack, choiceOfActions(journal.actions), observer,
                        WriteContext{clock, &recorder}, plan);
}

ConfigResult restoreBackup(link::ModuleLink& link, const UnfinishedWrite& unfinished,
                           const SettingsImage& backup, const std::string& backupPath, SettingsImage& readBack,
                           OperationObserver& observer, const Clock& clock, const ModuleGuard& guard,
                           const ConfirmWriteCheck& confirm) {
    if (unfinished.state == JournalLoad::Ok) {
        std::string otherBackup;
        if (const ConfigResult same =
                checkSameModule(link, unfinished.journal, GuardedAction::Restore, guard, observer, clock, otherBackup);
            same != ConfigResult::Ok)
            return same;
    }
    WriteJournal journal;
    journal.connection = unfinished.connection;
    journal.target = backup;
    journal.backupPath = backupPath;
    journal.started = clock.now();
    ServiceChoice choice;
    choice.restart = choiceOfActions(unfinished.journal.actions).restart;
    journal.actions = actionWords(choice);
    JournalRecorder recorder(unfinished.path, std::move(journal));
    const SettingsImage* interrupted = unfinished.state == JournalLoad::Ok ? &unfinished.journal.target : nullptr;
    std::vector<std::string> backupVersions = notedSettingsVersions(guard.backupFolder, backup);
    if (backupVersions.empty() && interrupted && backupPath == unfinished.journal.backupPath)
        backupVersions.push_back(unfinished.journal.versionText);
    const PlanWrite plan = [&](const link::FirmwareVersion& version,
                               const std::string& versionText) -> std::optional<WritePlan> {
        const WriteCheck check = checkWrite(backup, backupVersions, versionText);
        if (check.needsConfirmation() && !(confirm && confirm(check))) {
            observer.status(writeCancelledStatus());
            return std::nullopt;
        }
        return WritePlan{restoreSteps(backup, interrupted, version), 0};
    };
    return writePlanned(link, backup, readBack, choice, observer, WriteContext{clock, &recorder}, plan);
}

} // namespace kavrel::config
