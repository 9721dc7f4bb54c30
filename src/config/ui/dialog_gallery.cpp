#include "config/ui/dialog_gallery.h"

namespace kavrel::config::ui {

const std::vector<GalleryEntry>& dialogGallery() {
    static const std::vector<GalleryEntry> gallery = {
        // One row per dialog: {"file-name", [](const SettingsImage& r) -> QWidget* { return new Cdialog(r); }},
    };
    return gallery;
}

} // namespace kavrel::config::ui
