#include "cli/config_journal.h"

#include <iostream>
#include <ostream>
#include <vector>

#include "cli/answering_observer.h"
#include "cli/file_overlap.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/model/version_notes.h"
#include "config/protocol/connection_names.h"
#include "config/protocol/history_recorder.h"

namespace kavrel::cli {
namespace {

int usage(CliContext& context, const std::string& problem) {
    context.err << "kavrel config: " << problem << "\n";
    return kExitUsage;
}

std::optional<config::UnfinishedWrite> unfinishedHere(const CliContext& context) {
    return config::findUnfinishedWrite(config::backupFolder(), config::journalIdentity(context.connection));
}

void printUnfinished(std::ostream& out, const config::UnfinishedWrite& unfinished) {
    out << toTerminal(config::unfinishedWriteText(unfinished)) << "\n";
    out << "  Dokończ zapis:   kavrel config resume\n";
    if (unfinished.state == config::JournalLoad::Ok && !unfinished.journal.backupPath.empty())
        out << "  Przywróć kopię:  kavrel config restore\n";
    out << "  Pozostaw:        nic nie zmienia w module\n";
}

// The question a resume or restore asks about a module that may be another one: printed,
// shown as a warning and answered by --yes alone, so that a script never writes into the
// wrong module.
AnsweringObserver::Answer yesOnly(CliContext& context, bool yes) {
    return [&context, yes](const std::string& question) {
        context.observer.message(question, MessageIcon::Warning);
        if (!yes) context.err << "Nic nie wysłano: aby mimo to zapisać ten moduł, powtórz polecenie z opcją --yes.\n";
        return yes;
    };
}

config::ModuleGuard guardFor(const CliContext& context) {
    return {config::backupFolder(), config::backupWord(context.connection)};
}

// The history record of a resume or a restore: what the journal knows of the write it finishes.
config::HistoryRecorder historyOf(CliContext& context, const config::UnfinishedWrite& unfinished, const char* action,
                                  const config::SettingsImage& target) {
    config::HistoryRecorder history(config::backupFolder(), {"kavrel", KAVREL_TOOL_VERSION, action, ""},
                                    unfinished.connection, target, context.clock);
    history.setJournal(unfinished.path);
    if (unfinished.state == config::JournalLoad::Ok) history.setModuleVersion(unfinished.journal.versionText);
    return history;
}

int finishUnfinished(CliContext& context, const config::UnfinishedWrite& unfinished, bool yes) {
    if (!outputsSpareInputs(context, {unfinished.path})) return kExitFailure;
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    config::SettingsImage readBack;
    AnsweringObserver observer(context.observer, yesOnly(context, yes));
    config::HistoryRecorder history = historyOf(context, unfinished, "dokończenie", unfinished.journal.target);
    if (!history.open()) {
        context.err << toTerminal(config::historyFailedText(history.path())) << "\n";
        return kExitFailure;
    }
    const config::ConfigResult result =
        config::resumeWrite(moduleLink, unfinished, readBack, observer, context.clock, guardFor(context));
    history.close(result);
    return result == config::ConfigResult::Ok ? kExitOk : kExitFailure;
}

int restoreUnfinished(CliContext& context, const config::UnfinishedWrite& unfinished, std::string backupPath,
                      bool yes) {
    if (backupPath.empty() && unfinished.state == config::JournalLoad::Ok) backupPath = unfinished.journal.backupPath;
    if (backupPath.empty()) {
        context.err << toTerminal(config::noBackupToRestoreText()) << "\n";
        return kExitFailure;
    }
    if (!outputsSpareInputs(context, {backupPath})) return kExitFailure;
    config::SettingsImage backup;
    if (!loadRecordToSend(context, backupPath, backup)) return kExitFailure;
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    config::SettingsImage readBack;
    AnsweringObserver observer(context.observer, yesOnly(context, yes));
    config::HistoryRecorder history = historyOf(context, unfinished, "przywrócenie", backup);
    if (!history.open()) {
        context.err << toTerminal(config::historyFailedText(history.path())) << "\n";
        return kExitFailure;
    }
    const config::ConfigResult result =
        config::restoreBackup(moduleLink, unfinished, backup, backupPath, readBack, observer, context.clock,
                              guardFor(context), [&](const config::WriteCheck& check) { return acceptCheck(context, check, yes); });
    history.close(result);
    return result == config::ConfigResult::Ok ? kExitOk : kExitFailure;
}

} // namespace

bool backupFolderKnown(CliContext& context) {
    if (!config::backupFolder().empty()) return true;
    context.err << toTerminal(config::noBackupFolderText()) << "\n";
    return false;
}

bool loadRecordToSend(CliContext& context, const std::string& path, config::SettingsImage& image) {
    std::size_t size = 0;
    if (config::loadSettingsFile(path, image, &size) != FileResult::Ok) {
        context.err << toTerminal(W("Błąd otwarcia pliku do odczytu")) << ": " << path << "\n";
        return false;
    }
    if (size == 0) {
        context.err << "Plik " << path << " jest pusty: nic nie wysłano do modułu.\n";
        return false;
    }
    return true;
}

int offerUnfinishedWrite(CliContext& context, const config::UnfinishedWrite& unfinished, const std::string& file,
                         bool yes) {
    printUnfinished(context.err, unfinished);
    if (!isTerminal(stdin)) {
        context.err << "Zapis " << file << " zastąpi niedokończony zapis.\n";
        return -1;
    }
    context.err << "Wybierz: 1 Dokończ zapis, 2 Przywróć kopię, 3 Pozostaw i wyślij " << file << " [3]: " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return -1;
    if (answer == "1") return finishUnfinished(context, unfinished, yes);
    if (answer == "2") return restoreUnfinished(context, unfinished, {}, yes);
    return -1;
}

// Resumes the unfinished write to this connection; with none, says so and sends nothing.
int runResume(CliContext& context, std::span<const std::string> args) {
    bool yes = false;
    if (args.size() == 1 && args[0] == "--yes") {
        yes = true;
        args = args.subspan(1);
    }
    if (!args.empty()) return usage(context, "resume: nieoczekiwany argument " + args[0]);
    if (!backupFolderKnown(context)) return kExitFailure;
    const auto unfinished = unfinishedHere(context);
    if (!unfinished) {
        context.err << toTerminal(config::nothingToResumeText()) << "\n";
        return kExitFailure;
    }
    return finishUnfinished(context, *unfinished, yes);
}

// Writes the backup named by the unfinished write, or the one given, and verifies it.
int runRestore(CliContext& context, std::span<const std::string> args) {
    bool yes = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (arg == "--yes") yes = true;
        else if (arg.rfind("--", 0) == 0) return usage(context, "restore: nieoczekiwany argument " + arg);
        else files.push_back(arg);
    }
    if (files.size() > 1) return usage(context, "restore przyjmuje najwyżej jeden KOPIA.kvl");
    if (!backupFolderKnown(context)) return kExitFailure;
    const std::string given = files.empty() ? std::string() : files[0];
    auto unfinished = unfinishedHere(context);
    if (!unfinished && given.empty()) {
        context.err << toTerminal(config::nothingToResumeText()) << "\n";
        return kExitFailure;
    }
    if (!unfinished) {
        // No unfinished write, but a backup to put back: a write of it under a journal of its own.
        unfinished.emplace();
        unfinished->connection = config::journalIdentity(context.connection);
        unfinished->path = config::journalPath(config::backupFolder(), unfinished->connection);
    }
    return restoreUnfinished(context, *unfinished, given, yes);
}

// Exits 0 when the connection has no unfinished write, 1 when it has one.
int runStatus(CliContext& context, std::span<const std::string> args) {
    if (!args.empty()) return usage(context, "status: nieoczekiwany argument " + args[0]);
    if (!backupFolderKnown(context)) return kExitFailure;
    const auto unfinished = unfinishedHere(context);
    if (!unfinished) {
        context.out << toTerminal(config::nothingToResumeText()) << "\n";
        return kExitOk;
    }
    printUnfinished(context.out, *unfinished);
    return kExitFailure;
}

} // namespace kavrel::cli
