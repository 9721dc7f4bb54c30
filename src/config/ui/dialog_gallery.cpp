#include "config/ui/dialog_gallery.h"

#include "config/ui/dialogs/email_dialog.h"
#include "config/ui/dialogs/extended_lines_dialog.h"
#include "config/ui/dialogs/input_lines_dialog.h"
#include "config/ui/dialogs/internet_dialog.h"
#include "config/ui/dialogs/output_lines_dialog.h"

namespace kavrel::config::ui {

const std::vector<GalleryEntry>& dialogGallery() {
    static const std::vector<GalleryEntry> gallery = {
        // One row per dialog: {"file-name", [](const SettingsImage& r) -> QWidget* { return new Cdialog(r); }},
        {"input-lines", [](const SettingsImage& r) -> QWidget* { return new Clinie_wejsciowe(r); }},
        {"output-lines", [](const SettingsImage& r) -> QWidget* { return new Clinie_wyjsciowe(r); }},
        {"extended-lines", [](const SettingsImage& r) -> QWidget* { return new Cextlines(r); }},
        {"internet-access", [](const SettingsImage& r) -> QWidget* { return new Custaw_internet(r); }},
        {"email", [](const SettingsImage& r) -> QWidget* { return new Custaw_emaili(r); }},
    };
    return gallery;
}

} // namespace kavrel::config::ui
