// The buttons of the main window's "Ustawienia modułu" group, in their order, each with
// the dialog it opens. The window builds its buttons from this table and the screenshot
// gallery its pictures of the settings dialogs.
#pragma once

#include <QWidget>
#include <span>

#include "config/model/settings_image.h"

namespace kavrel::config::ui {

// A new dialog that edits a copy of the record.
using DialogFactory = QWidget* (*)(const SettingsImage& record);

struct SettingsButton {
    const char* caption;  // UTF-8
    const char* picture;  // file name of the dialog's screenshot, without ".png"
    DialogFactory make;
    bool enabled = true;  // CSD: offered by the module's menu, never enabled here
};

std::span<const SettingsButton> settingsButtons();

} // namespace kavrel::config::ui
