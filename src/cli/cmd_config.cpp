// kavrel config read|write|dump|diff|backups: what Kavrel-Config does with a module and
// with settings files, for scripts.
#include <filesystem>
#include <ostream>

#include "cli/commands.h"
#include "cli/config_history.h"
#include "cli/config_journal.h"
#include "cli/file_overlap.h"
#include "common/win1250.h"
#include "config/model/backup_store.h"
#include "config/model/settings_dump.h"
#include "config/model/settings_file.h"
#include "config/protocol/read_settings.h"
#include "config/model/version_notes.h"
#include "config/protocol/connection_names.h"
#include "config/protocol/history_recorder.h"
#include "config/protocol/journaled_write.h"
#include "config/protocol/reviewed_write.h"
#include "config/protocol/write_check.h"
#include "config/protocol/write_settings.h"

namespace kavrel::cli {
namespace {

int usage(CliContext& context, const std::string& problem) {
    context.err << "kavrel config: " << problem << "\n" << helpText(configUsage());
    return kExitUsage;
}

// Loads a settings file, saying so on stderr when it cannot.
bool load(CliContext& context, const std::string& path, config::SettingsImage& image) {
    if (config::loadSettingsFile(path, image) == FileResult::Ok) return true;
    context.err << toTerminal(W("Błąd otwarcia pliku do odczytu")) << ": " << path << "\n";
    return false;
}

int runRead(CliContext& context, std::span<const std::string> args) {
    std::string output, base;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if ((args[i] == "-o" || args[i] == "--base") && i + 1 < args.size()) {
            std::string& target = args[i] == "-o" ? output : base;
            target = args[++i];
        } else {
            return usage(context, "read: nieoczekiwany argument " + args[i]);
        }
    }
    if (output.empty()) return usage(context, "read wymaga -o PLIK.kvl");
    // The output may be the base itself: the base is read first, the output replaced whole.
    if (!outputsSpareInputs(context, {base})) return kExitFailure;
    config::SettingsImage image;
    if (!base.empty() && !load(context, base, image)) return kExitFailure;
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    std::string versionText;
    if (config::readSettings(moduleLink, image, context.observer, &versionText) !=
        config::ConfigResult::Ok)
        return kExitFailure;  // the output file is left as it was
    if (config::saveSettingsToFile(output, image, context.observer) != FileResult::Ok) return kExitFailure;
    // The file holds no version: a later write of it learns the firmware it came from here.
    (void)config::noteSettingsVersion(config::backupFolder(), image, versionText);
    return kExitOk;
}

// The changes a write would make, one line each: "KEY (caption): module -> file".
void printChanges(CliContext& context, const std::vector<config::FieldChange>& changes) {
    if (changes.empty()) {
        context.out << "Brak zmian w ustawieniach modułu.\n";
        return;
    }
    context.out << "Zmiany w ustawieniach modułu: " << changes.size() << "\n";
    for (const auto& change : changes)
        context.out << change.key << " (" << change.caption << "): " << change.before << " -> " << change.after << "\n";
}

// A listing of the window's confirmation as terminal lines.
std::string terminalLines(const std::string& cp1250Text) {
    std::string text = toTerminal(cp1250Text);
    std::erase(text, '\r');
    return text;
}

} // namespace

// Lists what the look before a write found; true when the write may go on. Only a file read
// from a module with another firmware waits for --yes: its lines would be sent otherwise than
// they were read. Values the settings windows cannot enter are a warning on stderr, since a
// module holds and accepts them and a file read from it must go back to it unasked.
bool acceptCheck(CliContext& context, const config::WriteCheck& check, bool yes) {
    if (!check.outOfRange.empty()) {
        config::WriteCheck ranges;
        ranges.outOfRange = check.outOfRange;
        context.err << terminalLines(config::writeCheckText(ranges)) << std::flush;
    }
    if (check.versionKeys.empty()) return true;
    config::WriteCheck versions = check;
    versions.outOfRange.clear();
    context.out << terminalLines(config::writeCheckText(versions)) << std::flush;
    if (yes) return true;
    context.err << "Nic nie wysłano: potwierdź zapis opcją --yes.\n";
    return false;
}

namespace {

// Hands the write's progress to its journal (none for a dry run) and, once the read-back
// matched, notes the module's version for the file written, as a read notes it: the same
// file offered later to a module of another firmware is then listed and held back.
class VersionNotingRecorder final : public config::WriteRecorder {
public:
    VersionNotingRecorder(std::string folder, const config::SettingsImage& file, config::WriteRecorder* journal)
        : folder_(std::move(folder)), file_(file), journal_(journal) {}
    void backedUp(const std::string& path) override {
        if (journal_) journal_->backedUp(path);
    }
    bool starting(const std::string& versionText, const std::vector<config::WriteStep>& steps,
                  std::size_t first) override {
        versionText_ = versionText;
        return !journal_ || journal_->starting(versionText, steps, first);
    }
    bool acknowledged(std::size_t index) override { return !journal_ || journal_->acknowledged(index); }
    std::string stopReason() const override { return journal_ ? journal_->stopReason() : std::string(); }
    void verified() override {
        if (journal_) journal_->verified();
        (void)config::noteSettingsVersion(folder_, file_, versionText_);  // best effort, as after a read
    }

private:
    std::string folder_;
    const config::SettingsImage& file_;
    config::WriteRecorder* journal_;
    std::string versionText_;
};

int runWrite(CliContext& context, std::span<const std::string> args) {
    std::string input;
    config::ServiceChoice choice;
    bool showDiff = false, dryRun = false, backup = false, yes = false;
    for (const auto& arg : args) {
        if (arg == "--rtc") choice.setClock = true;
        else if (arg == "--restart") choice.restart = true;
        else if (arg == "--reset-counters") choice.resetCounters = true;
        else if (arg == "--erase-log") choice.eraseLog = true;
        else if (arg == "--show-diff") showDiff = true;
        else if (arg == "--dry-run") dryRun = true;
        else if (arg == "--backup") backup = true;
        else if (arg == "--yes") yes = true;
        else if (input.empty() && arg.rfind("--", 0) != 0) input = arg;
        else return usage(context, "write: nieoczekiwany argument " + arg);
    }
    if (input.empty()) return usage(context, "write wymaga PLIK.kvl");
    if (!outputsSpareInputs(context, {input})) return kExitFailure;
    config::SettingsImage image;
    if (!loadRecordToSend(context, input, image)) return kExitFailure;
    const std::string folder = config::backupFolder();
    const std::string connection = config::journalIdentity(context.connection);
    if (!dryRun && !backupFolderKnown(context)) return kExitFailure;
    if (!dryRun) {
        if (const auto unfinished = config::findUnfinishedWrite(folder, connection)) {
            if (const int exit = offerUnfinishedWrite(context, *unfinished, input, yes); exit >= 0) return exit;
        }
    }
    const std::vector<std::string> fileVersions = config::notedSettingsVersions(folder, image);
    link::ModuleLink moduleLink(link::LinkVariant::configurator(), context.connection);
    if (!context.traceInto(moduleLink)) return kExitFailure;
    config::SettingsImage readBack;
    config::JournalRecorder journal = config::journalForWrite(folder, connection, image, choice, context.clock.now());
    config::HistoryRecorder history(folder, {"kavrel", KAVREL_TOOL_VERSION, "zapis", ""}, connection, image,
                                    context.clock, &journal);
    history.setJournal(journal.path());
    VersionNotingRecorder recorder(folder, image, dryRun ? nullptr : &history);
    const config::WriteContext writeContext{context.clock, &recorder};
    const auto reportJournal = [&] {
        if (!journal.problem().empty()) context.err << journal.problem() << "\n";
    };
    if (!showDiff && !dryRun && !backup) {
        const config::ConfigResult result = config::writePlanned(
            moduleLink, image, readBack, choice, context.observer, writeContext,
            [&](const link::FirmwareVersion& version, const std::string& versionText) -> std::optional<config::WritePlan> {
                if (!acceptCheck(context, config::checkWrite(image, fileVersions, versionText), yes)) {
                    context.observer.status(config::writeCancelledStatus());
                    return std::nullopt;
                }
                return config::WritePlan{config::writeSequence(image, version), 0};
            });
        history.close(result);
        reportJournal();
        return result == config::ConfigResult::Ok ? kExitOk : kExitFailure;
    }
    config::WriteReview review;
    review.confirm = [&](const config::ModuleReview& module) {
        if (!acceptCheck(context, config::checkWrite(image, fileVersions, module.versionText), yes || dryRun)) return false;
        if (showDiff || dryRun) printChanges(context, module.changes);
        context.out.flush();
        return !dryRun;
    };
    if (!dryRun) {
        review.backupFolder = folder;
        review.connection = config::backupWord(context.connection);
    }
    config::ReviewedWriteOutcome outcome;
    const config::ConfigResult result = config::writeSettingsReviewed(moduleLink, image, readBack, choice,
                                                     context.observer, writeContext, review, outcome);
    if (!dryRun) {
        if (history.linesSent() || result == config::ConfigResult::WriteCancelled) history.knowBefore(outcome.module);
        history.close(result);
    }
    if (!outcome.backupPath.empty()) context.err << "Kopia zapasowa: " << outcome.backupPath << "\n";
    reportJournal();
    if (dryRun && result == config::ConfigResult::WriteCancelled) return kExitOk;
    return result == config::ConfigResult::Ok ? kExitOk : kExitFailure;
}

// The backups of replaced module settings, newest first.
int runBackups(CliContext& context, std::span<const std::string> args) {
    if (!args.empty()) return usage(context, "backups: nieoczekiwany argument " + args[0]);
    if (!backupFolderKnown(context)) return kExitFailure;
    const std::string folder = config::backupFolder();
    std::error_code problem;
    const auto entries = config::listBackups(folder, &problem);
    if (problem) {
        context.err << "Nie można odczytać folderu kopii zapasowych " << folder << ": " << problem.message() << "\n";
        return kExitFailure;
    }
    if (entries.empty()) context.err << "Brak kopii zapasowych w " << folder << "\n";
    for (const auto& entry : entries)
        context.out << config::backupTimeText(entry.time) << "  " << entry.version << "  " << entry.connection << "  "
                    << entry.path << "\n";
    return kExitOk;
}

int runDump(CliContext& context, std::span<const std::string> args) {
    if (args.size() != 1) return usage(context, "dump wymaga jednego PLIK.kvl");
    if (!outputsSpareInputs(context, {args[0]})) return kExitFailure;
    config::SettingsImage image;
    if (!load(context, args[0], image)) return kExitFailure;
    for (const auto& line : config::dumpLines(image)) context.out << line << "\n";
    return kExitOk;
}

// Exits as diff(1) does: 0 when the records are the same, 1 when they differ.
int runDiff(CliContext& context, std::span<const std::string> args) {
    if (args.size() != 2) return usage(context, "diff wymaga dwóch plików");
    if (!outputsSpareInputs(context, {args[0], args[1]})) return kExitUsage;
    config::SettingsImage a, b;
    if (!load(context, args[0], a) || !load(context, args[1], b)) return kExitUsage;
    const auto lines = config::diffLines(a, b);
    for (const auto& line : lines) context.out << line << "\n";
    return lines.empty() ? kExitOk : kExitFailure;
}

} // namespace

const HelpText& configUsage() {
    static const HelpText text{
        "użycie: kavrel [POŁĄCZENIE] config read -o PLIK.kvl [--base PLIK.kvl]\n"
        "        kavrel [POŁĄCZENIE] config write PLIK.kvl [--rtc] [--restart] [--reset-counters] [--erase-log]\n"
        "                                           [--show-diff | --dry-run | --backup] [--yes]\n"
        "        kavrel [POŁĄCZENIE] config resume [--yes]\n"
        "        kavrel [POŁĄCZENIE] config restore [KOPIA.kvl] [--yes]\n"
        "        kavrel [POŁĄCZENIE] config status\n"
        "        kavrel config dump PLIK.kvl\n"
        "        kavrel config diff A.kvl B.kvl\n"
        "        kavrel config backups\n"
        "        kavrel config history [--connection TEKST] [--json]\n"
        "read   odczytuje konfigurację modułu do PLIK.kvl; rekord zaczyna się od pliku --base (bez niego\n"
        "       od zer) i nakłada się na niego to, co zgłasza moduł.\n"
        "write  wysyła PLIK.kvl, odczytuje go z powrotem do weryfikacji, potem wykonuje wybrane akcje\n"
        "       serwisowe; kod wyjścia 0 tylko wtedy, gdy wszystko to się udało. --show-diff najpierw\n"
        "       odczytuje moduł, wypisuje pola, które zapis zmieni (KLUCZ (opis): moduł -> plik),\n"
        "       zachowuje ustawienia modułu jako kopię zapasową i dopiero wtedy zapisuje; --dry-run\n"
        "       kończy na liście i nie wysyła nic poza zapytaniami odczytu. Kopia zapasowa, której nie da\n"
        "       się zapisać, zatrzymuje zapis. --backup odczytuje moduł, zachowuje jego ustawienia jako\n"
        "       kopię i zapisuje, bez pytania. Plik zapisany z modułu z innym oprogramowaniem (odnotowują\n"
        "       to odczyty i zweryfikowane zapisy) jest wypisywany według kluczy i nie zostanie wysłany\n"
        "       bez --yes; wartości, których okna ustawień nie przyjmują, są wypisywane na standardowe\n"
        "       wyjście błędów i wysyłane.\n"
        "       W czasie zapisu jego dziennik (obok kopii zapasowych) odnotowuje każdą potwierdzoną linię;\n"
        "       niedokończony zapis do tego samego połączenia jest zgłaszany przed nowym.\n"
        "resume wysyła resztę niedokończonego zapisu do tego połączenia (od pierwszej linii, której\n"
        "       moduł nie potwierdził), weryfikuje go i wykonuje jego akcje serwisowe; gdy takiego\n"
        "       zapisu nie ma, kończy się kodem 1 bez wysyłania czegokolwiek.\n"
        "restore zapisuje kopię zapasową wykonaną przez niedokończony zapis (albo KOPIA.kvl)\n"
        "       i weryfikuje ją. Kopia z modułu o innym oprogramowaniu jest sprawdzana jak plik\n"
        "       zapisu: bez --yes nic nie jest wysyłane.\n"
        "       Oba najpierw odczytują moduł: gdy nie ma on linii, które przerwany zapis w nim\n"
        "       potwierdził (albo wartości kopii tam, dokąd zapis nie doszedł), może to być inny moduł;\n"
        "       jego ustawienia trafiają do kopii zapasowej i nic nie jest wysyłane bez --yes.\n"
        "status mówi, czy to połączenie ma niedokończony zapis (kod 1), czy nie (kod 0).\n"
        "dump   wypisuje każde pole PLIK.kvl, po jednym wierszu KLUCZ = wartość (teksty w UTF-8).\n"
        "diff   wypisuje pola, którymi różnią się A i B, z ich etykietami weryfikacji;\n"
        "       kod wyjścia 0, gdy są takie same, 1, gdy się różnią.\n"
        "backups wypisuje kopie zapasowe zastąpionych ustawień modułu, od najnowszej: czas, wersja,\n"
        "       połączenie, plik (folder: $KAVREL_BACKUP_DIR, inaczej ~/.local/share/Ostrevan/Kavrel/kopie).\n"
        "history wypisuje historię zapisów (historia.jsonl obok kopii): każdą próbę zapisu, z każdego\n"
        "       narzędzia, z czasem, użytkownikiem, komputerem, wynikiem i zmienionymi polami; próba bez\n"
        "       zamknięcia ma wynik \"przerwany\". --connection wybiera połączenia zawierające TEKST,\n"
        "       --json wypisuje jeden obiekt JSON na wiersz.\n"
        "Komunikaty stanu i postęp trafiają na standardowe wyjście błędów.\n",
        "usage: kavrel [CONNECTION] config read -o FILE.kvl [--base FILE.kvl]\n"
           "       kavrel [CONNECTION] config write FILE.kvl [--rtc] [--restart] [--reset-counters] [--erase-log]\n"
           "                                         [--show-diff | --dry-run | --backup] [--yes]\n"
           "       kavrel [CONNECTION] config resume [--yes]\n"
           "       kavrel [CONNECTION] config restore [BACKUP.kvl] [--yes]\n"
           "       kavrel [CONNECTION] config status\n"
           "       kavrel config dump FILE.kvl\n"
           "       kavrel config diff A.kvl B.kvl\n"
           "       kavrel config backups\n"
           "read   reads the module's configuration into FILE.kvl; the record starts from the --base\n"
           "       file (else from zeros) and is overlaid by what the module reports.\n"
           "write  sends FILE.kvl, reads it back to verify it, then runs the chosen service actions;\n"
           "       exits 0 only when all of that succeeded. --show-diff reads the module first, prints\n"
           "       the fields the write changes (KEY (caption): module -> file), keeps the module's\n"
           "       settings as a backup and then writes; --dry-run stops after the list and sends\n"
           "       nothing but the read's queries. A backup that cannot be saved stops the write.\n"
           "       --backup reads the module, keeps its settings as a backup and writes, without a\n"
           "       question. A file saved from a module with another firmware (its own reads and\n"
           "       verified writes note it) is listed by key and not sent without --yes; values the\n"
           "       settings windows do not accept are listed on stderr and sent.\n"
           "       While a write runs, its journal (next to the backups) marks every acknowledged\n"
           "       line; an unfinished write to the same connection is reported before a new one.\n"
           "resume sends the rest of the unfinished write to this connection (from the first line\n"
           "       the module did not acknowledge), verifies it and runs its service actions;\n"
           "       exits 1 without sending anything when there is none.\n"
           "restore writes the backup the unfinished write made (or BACKUP.kvl) and verifies it.\n"
           "       A backup from a module with another firmware is looked at as a file to write is:\n"
           "       nothing is sent without --yes.\n"
           "       Both read the module first: when it lacks the lines the cut write had acknowledged\n"
           "       (or the backup's values where the write had not reached), it may be another module;\n"
           "       its settings go into a backup and nothing is sent without --yes.\n"
           "status tells whether this connection has an unfinished write (exit 1) or not (exit 0).\n"
           "dump   prints every field of FILE.kvl, one KEY = value line each (texts as UTF-8).\n"
           "diff   prints the fields in which A and B differ with their verification labels;\n"
           "       exits 0 when they are the same, 1 when they differ.\n"
           "backups lists the backups of replaced module settings, newest first: time, version,\n"
           "       connection, file (folder: $KAVREL_BACKUP_DIR, else ~/.local/share/Ostrevan/Kavrel/kopie).\n"
           "history lists the write history (historia.jsonl next to the backups): every write attempt,\n"
           "       from every tool, with its time, user, computer, outcome and changed fields; an\n"
           "       attempt never closed is \"przerwany\". --connection picks connections containing\n"
           "       TEXT, --json prints one JSON object a line.\n"
           "Status texts and progress go to stderr.\n"};
    return text;
}

int runConfig(CliContext& context, std::span<const std::string> args) {
    if (args.empty()) return usage(context, "które działanie: read, write, resume, restore, status, dump, diff, backups czy history?");
    struct Sub {
        const char* name;
        int (*run)(CliContext&, std::span<const std::string>);
    };
    static const Sub subs[] = {{"read", runRead},       {"write", runWrite},     {"resume", runResume},
                               {"restore", runRestore}, {"status", runStatus},   {"dump", runDump},
                               {"diff", runDiff},       {"backups", runBackups},
                               {"history", runConfigHistory}};
    for (const auto& sub : subs)
        if (args[0] == sub.name) return sub.run(context, args.subspan(1));
    return usage(context, "nieznane działanie " + args[0]);
}

} // namespace kavrel::cli
