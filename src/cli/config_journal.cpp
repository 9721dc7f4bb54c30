#include "cli/config_journal.h"

#include <iostream>
#include <ostream>

#include "cli/file_overlap.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_file.h"
#include "config/model/version_notes.h"
#include "config/protocol/connection_names.h"

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

int finishUnfinished(CliContext& context, const config::UnfinishedWrite& unfinished) {
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    config::SettingsImage readBack;
    const config::ConfigResult result =
        config::resumeWrite(moduleLink, unfinished, readBack, context.observer, context.clock);
    return result == config::ConfigResult::Ok ? kExitOk : kExitFailure;
}

int restoreUnfinished(CliContext& context, const config::UnfinishedWrite& unfinished, std::string backupPath) {
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
    const config::ConfigResult result = config::restoreBackup(moduleLink, unfinished, backup, backupPath,
                                                              readBack, context.observer, context.clock);
    return result == config::ConfigResult::Ok ? kExitOk : kExitFailure;
}

} // namespace

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

int offerUnfinishedWrite(CliContext& context, const config::UnfinishedWrite& unfinished, const std::string& file) {
    printUnfinished(context.err, unfinished);
    if (!isTerminal(stdin)) {
        context.err << "Zapis " << file << " zastąpi niedokończony zapis.\n";
        return -1;
    }
    context.err << "Wybierz: 1 Dokończ zapis, 2 Przywróć kopię, 3 Pozostaw i wyślij " << file << " [3]: " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return -1;
    if (answer == "1") return finishUnfinished(context, unfinished);
    if (answer == "2") return restoreUnfinished(context, unfinished, {});
    return -1;
}

// Resumes the unfinished write to this connection; with none, says so and sends nothing.
int runResume(CliContext& context, std::span<const std::string> args) {
    if (!args.empty()) return usage(context, "resume: nieoczekiwany argument " + args[0]);
    const auto unfinished = unfinishedHere(context);
    if (!unfinished) {
        context.err << toTerminal(config::nothingToResumeText()) << "\n";
        return kExitFailure;
    }
    return finishUnfinished(context, *unfinished);
}

// Writes the backup named by the unfinished write, or the one given, and verifies it.
int runRestore(CliContext& context, std::span<const std::string> args) {
    if (args.size() > 1) return usage(context, "restore przyjmuje najwyżej jeden KOPIA.kvl");
    const std::string given = args.empty() ? std::string() : args[0];
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
    return restoreUnfinished(context, *unfinished, given);
}

// Exits 0 when the connection has no unfinished write, 1 when it has one.
int runStatus(CliContext& context, std::span<const std::string> args) {
    if (!args.empty()) return usage(context, "status: nieoczekiwany argument " + args[0]);
    const auto unfinished = unfinishedHere(context);
    if (!unfinished) {
        context.out << toTerminal(config::nothingToResumeText()) << "\n";
        return kExitOk;
    }
    printUnfinished(context.out, *unfinished);
    return kExitFailure;
}

} // namespace kavrel::cli
