#include "config/ui/dialog_gallery.h"

#include "config/ui/dialogs/general_settings_dialog.h"
#include "config/ui/dialogs/notification_texts_dialog.h"
#include "config/ui/dialogs/number_permissions_dialog.h"
#include "config/ui/dialogs/scaling_dialog.h"
#include "config/ui/dialogs/variable_codes_dialog.h"

namespace kavrel::config::ui {

const std::vector<GalleryEntry>& dialogGallery() {
    static const std::vector<GalleryEntry> gallery = {
        // One row per dialog: {"file-name", [](const SettingsImage& r) -> QWidget* { return new Cdialog(r); }},
        {"general-settings", [](const SettingsImage& r) -> QWidget* { return new Custaw_ogolne(r); }},
        {"number-permissions", [](const SettingsImage& r) -> QWidget* { return new Cuprawnienia(r); }},
        {"notification-texts", [](const SettingsImage& r) -> QWidget* { return new Cteksty(r); }},
        {"variable-codes", [](const SettingsImage&) -> QWidget* { return new Ckody; }},
        {"scaling", [](const SettingsImage& r) -> QWidget* { return new Cskalowanie(r); }},
    };
    return gallery;
}

} // namespace kavrel::config::ui
