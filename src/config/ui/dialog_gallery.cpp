#include "config/ui/dialog_gallery.h"

#include "common/settings_store.h"
#include "config/ui/main_window.h"

#include "common/win1250.h"
#include "config/protocol/reviewed_write.h"
#include "config/ui/dialogs/backups_dialog.h"
#include "config/ui/dialogs/ccsd.h"
#include "config/ui/dialogs/changes_dialog.h"
#include "config/ui/dialogs/custaw_sieciowe.h"
#include "config/ui/dialogs/email_dialog.h"
#include "config/ui/dialogs/extended_lines_dialog.h"
#include "config/ui/dialogs/input_lines_dialog.h"
#include "config/ui/dialogs/internet_dialog.h"
#include "config/ui/dialogs/output_lines_dialog.h"
#include "config/ui/dialogs/general_settings_dialog.h"
#include "config/ui/dialogs/notification_texts_dialog.h"
#include "config/ui/dialogs/number_permissions_dialog.h"
#include "config/ui/dialogs/scaling_dialog.h"
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

} // namespace

const std::vector<GalleryEntry>& dialogGallery() {
    static const std::vector<GalleryEntry> gallery = {
        // One row per dialog: {"file-name", [](const SettingsImage& r) -> QWidget* { return new Cdialog(r); }},
        {"linie-wejsciowe", [](const SettingsImage& r) -> QWidget* { return new Clinie_wejsciowe(r); }},
        {"linie-wyjsciowe", [](const SettingsImage& r) -> QWidget* { return new Clinie_wyjsciowe(r); }},
        {"linie-rozszerzone", [](const SettingsImage& r) -> QWidget* { return new Cextlines(r); }},
        {"dostep-do-internetu", [](const SettingsImage& r) -> QWidget* { return new Custaw_internet(r); }},
        {"wysylanie-email", [](const SettingsImage& r) -> QWidget* { return new Custaw_emaili(r); }},
        {"konfigurator",
         [](const SettingsImage&) -> QWidget* {
             static MemoryStore store;  // the screenshot never touches the user's settings
             return new Ckonfigurator(store, "");
         }},
        {"port-csd", [](const SettingsImage& r) -> QWidget* { return new Ccsd(r); }},
        {"komunikacja-przez-siec", [](const SettingsImage&) -> QWidget* { return new Custaw_sieciowe; }},
        {"ustawienia-ogolne", [](const SettingsImage& r) -> QWidget* { return new Custaw_ogolne(r); }},
        {"uprawnienia-numerow", [](const SettingsImage& r) -> QWidget* { return new Cuprawnienia(r); }},
        {"teksty-powiadomien", [](const SettingsImage& r) -> QWidget* { return new Cteksty(r); }},
        {"kody-zmiennych", [](const SettingsImage&) -> QWidget* { return new Ckody; }},
        {"skalowanie", [](const SettingsImage& r) -> QWidget* { return new Cskalowanie(r); }},
        {"zmiany-w-ustawieniach", [](const SettingsImage& r) -> QWidget* { return sampleChanges(r); }},
        {"kopie-zapasowe", [](const SettingsImage&) -> QWidget* { return sampleBackups(); }},
    };
    return gallery;
}

} // namespace kavrel::config::ui
