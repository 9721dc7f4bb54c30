// Every window of the configurator by name, built from a record, for the screenshots and
// the window tests that open each one.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "config/model/settings_image.h"

namespace kavrel::config::ui {

struct GalleryEntry {
    const char* name;  // file name of its screenshot, without ".png"
    std::function<QWidget*(const SettingsImage& record)> make;
};

const std::vector<GalleryEntry>& dialogGallery();

} // namespace kavrel::config::ui
