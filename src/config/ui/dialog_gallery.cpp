#include "config/ui/dialog_gallery.h"

#include "common/settings_store.h"
#include "config/ui/main_window.h"
#include "config/ui/settings_buttons.h"

#include "common/win1250.h"
#include "config/protocol/reviewed_write.h"
#include "config/ui/dialogs/backups_dialog.h"
#include "config/ui/dialogs/changes_dialog.h"
#include "config/ui/dialogs/custaw_sieciowe.h"
#include "config/ui/dialogs/unfinished_write_box.h"
#include "config/ui/dialogs/write_check_box.h"
#include "config/ui/dialogs/write_history_dialog.h"
#include "config/ui/dialogs/variable_codes_dialog.h"

namespace kavrel::config::ui {
namespace {

// The list a write of an edited record would show: a few typical edits of the record.
QWidget* sampleChanges(const SettingsImage& module) {
    SettingsImage edited = module;
    edited.setPhoneNumber(2, "+48600123456");
    edited.setWord(Field::Ulo, 3, static_cast<std::uint16_t>(module.word(Field::Ulo, 3) + 150));
    edited.setText(Field::Sms, 3, W("Alarm: poziom wody w zbiorniku przekroczony"));
    edited.setByte(Field::Adel, 3, 5);
    edited.setByte(Field::Logt, 15);
    const auto changes = changesForWrite(module, edited, link::parseVersion("Kavrel V3.6EL"));
    return new Czmiany(changes, Czmiany::Purpose::BeforeWrite);
}

QWidget* sampleBackups() {
    std::vector<BackupEntry> entries;
    const LocalDateTime times[] = {{2026, 12, 8, 14, 5, 9}, {2026, 12, 8, 9, 41, 30}, {2026, 11, 27, 16, 2, 55}};
    const char* versions[] = {"Kavrel V3.6EL", "Kavrel V3.6EL", "Kavrel V2.7E"};
    const char* ports[] = {"COM3", "192.168.1.20_4001", "COM1"};
    for (int i = 0; i < 3; ++i) {
        BackupEntry entry;
        entry.version = versions[i];
        entry.connection = ports[i];
        entry.time = times[i];
        entry.fileName = backupFileName(versions[i], ports[i], times[i]);
        entry.path = "/home/serwis/.local/share/Ostrevan/Kavrel/kopie/" + entry.fileName;
        entries.push_back(entry);
    }
    return new Ckopie(entries, QStringLiteral("/home/serwis/.local/share/Ostrevan/Kavrel/kopie"));
}

// What the window offers at start after a write over COM3 was cut in the SMS texts.
QWidget* sampleUnfinishedWrite() {
    UnfinishedWrite unfinished;
    unfinished.connection = "COM3 /dev/ttyUSB0";
    unfinished.state = JournalLoad::Ok;
    WriteJournal& journal = unfinished.journal;
    journal.connection = unfinished.connection;
    journal.versionText = "Kavrel V3.6EL";
    journal.started = {2026, 12, 8, 14, 5, 9};
    journal.backupPath = "/home/serwis/.local/share/Ostrevan/Kavrel/kopie/Kavrel V3.6EL COM3 2026-12-08 14.05.09.kvl";
    for (int i = 0; i < 112; ++i) journal.lines.push_back({"", i < 17});
    return new CniedokonczonyZapis(unfinished);
}

// A file read from a V2.0 module about to be written to a V3.6EL one, with a scaling
// factor no dialog accepts.
QWidget* sampleWriteCheck(SettingsImage record) {
    record.setWord(Field::Scla, 2, 0x8000);
    return new CsprawdzeniePliku(checkWrite(record, {"Kavrel V2.0"}, "Kavrel V3.6EL"));
}

// A week of writes: the window's, a roll-out over TCP with one write cut, its resume.
QWidget* sampleWriteHistory() {
    HistoryLoad load;
    const auto record = [&](const char* time, const char* tool, const char* action, const char* connection,
                            const char* outcome, std::optional<std::vector<HistoryChange>> changes, const char* run) {
        HistoryRecord r;
        r.id = std::string("19c4e2a") + std::to_string(load.records.size()) + "-0001-5be1a7c2";
        r.time = time;
        r.ended = std::string(outcome) == kOutcomeCut ? "" : time;
        r.user = "anna";
        r.computer = "serwis-2";
        r.tool = tool;
        r.toolVersion = "0.1.0";
        r.action = action;
        r.connection = connection;
        r.moduleVersion = "Kavrel V3.6EL";
        r.hashBefore = changes ? "a24f8deb1e3464ac" : "";
        r.hashAfter = "5baeca7cd6d304f5";
        r.changes = std::move(changes);
        r.outcome = outcome;
        r.run = run;
        std::string word = connection;   // the journal's file name, as the backup folder spells it
        for (char& c : word)
            if (c == ':' || c == ' ' || c == '/') c = '_';
        r.journal = "/home/serwis/.local/share/Ostrevan/Kavrel/kopie/" + word + ".zapis";
        load.records.push_back(r);
    };
    const std::vector<HistoryChange> apn = {{"TRPT", "60", "120"}, {"APN0", "\"internet\"", "\"firma.apn\""}};
    record("2026-12-02 09:14:03", "Kavrel-Config", "zapis", "COM3 /dev/ttyUSB0", "zapisany",
           std::vector<HistoryChange>{{"NUM2", "\"+48600100201\"", "\"+48600123456\""}}, "");
    record("2026-12-08 14:05:09", "kavrel", "wdrożenie", "10.0.0.5:4001", "zapisany", apn, "20261208-140501-3fa2");
    record("2026-12-08 14:05:11", "kavrel", "wdrożenie", "10.0.0.6:4001", kOutcomeCut, apn, "20261208-140501-3fa2");
    record("2026-12-08 14:05:12", "kavrel", "wdrożenie", "10.0.0.7:4001", "niezweryfikowany", apn, "20261208-140501-3fa2");
    record("2026-12-08 14:31:40", "kavrel", "dokończenie", "10.0.0.6:4001", "zapisany", std::nullopt,
           "20261208-140501-3fa2");
    auto* dialog = new WriteHistoryDialog(load, QStringLiteral("/home/serwis/.local/share/Ostrevan/Kavrel/kopie/historia.jsonl"));
    return dialog;
}

} // namespace

const std::vector<GalleryEntry>& dialogGallery() {
    static const std::vector<GalleryEntry> gallery = [] {
        // The settings dialogs, from the table the main window builds its buttons from.
        std::vector<GalleryEntry> entries;
        for (const SettingsButton& button : settingsButtons()) entries.push_back({button.picture, button.make});
        // The other windows: {"file-name", [](const SettingsImage& r) -> QWidget* { return new Cdialog(r); }},
        const GalleryEntry others[] = {
            {"konfigurator",
             [](const SettingsImage&) -> QWidget* {
                 static MemoryStore store;  // the screenshot never touches the user's settings
                 return new Ckonfigurator(store, "");
             }},
            {"komunikacja-przez-siec", [](const SettingsImage&) -> QWidget* { return new Custaw_sieciowe; }},
            {"kody-zmiennych", [](const SettingsImage&) -> QWidget* { return new Ckody; }},
            {"zmiany-w-ustawieniach", [](const SettingsImage& r) -> QWidget* { return sampleChanges(r); }},
            {"kopie-zapasowe", [](const SettingsImage&) -> QWidget* { return sampleBackups(); }},
            {"niedokonczony-zapis", [](const SettingsImage&) -> QWidget* { return sampleUnfinishedWrite(); }},
            {"sprawdzenie-pliku", [](const SettingsImage& r) -> QWidget* { return sampleWriteCheck(r); }},
            {"historia-zapisow", [](const SettingsImage&) -> QWidget* { return sampleWriteHistory(); }},
        };
        entries.insert(entries.end(), std::begin(others), std::end(others));
        return entries;
    }();
    return gallery;
}

} // namespace kavrel::config::ui
