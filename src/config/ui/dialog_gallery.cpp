#include "config/ui/dialog_gallery.h"

#include "common/settings_store.h"
#include "config/ui/main_window.h"

#include "config/ui/dialogs/ccsd.h"
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
    };
    return gallery;
}

} // namespace kavrel::config::ui
