// Saves a shown window as a PNG picture; with KAVREL_CHECK_CLIPPING set, also lists on
// standard error every text the window cuts off, and counts them for the program's exit code.
#pragma once

#include <QApplication>
#include <QPalette>
#include <QString>
#include <QStyleFactory>
#include <QTextStream>
#include <QWidget>
#include <cstdio>

#include "common/qt/clipped_text.h"
#include "common/qt/color_scheme.h"

namespace kavrel::screenshots {

inline int& clippedCount() {
    static int count = 0;
    return count;
}

inline bool saveWindowPicture(QWidget& window, const QString& path) {
    if (qEnvironmentVariableIsSet("KAVREL_CHECK_CLIPPING")) {
        for (const QString& clipped : clippedTexts(window)) {
            std::fprintf(stderr, "ucięty tekst: %s: %s\n", qPrintable(path), qPrintable(clipped));
            ++clippedCount();
        }
    }
    return window.grab().save(path, "PNG");
}

// The scheme the programs take at start; with KAVREL_SCREENSHOT_DARK set where the platform
// reports no dark mode of its own (offscreen; Wine 8, which never tells Qt), the windows as a
// dark-mode Windows has Qt draw them: the Fusion style on a dark palette.
inline void applyPictureScheme(QApplication& application) {
    applyColorScheme(application);
    if (!qEnvironmentVariableIsSet("KAVREL_SCREENSHOT_DARK") || darkPalette()) return;
    application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    struct Role {
        QPalette::ColorRole role;
        const char* colour;
    };
    static constexpr Role kDark[] = {
        {QPalette::Window, "#202020"},      {QPalette::WindowText, "#ffffff"},  {QPalette::Base, "#2d2d2d"},
        {QPalette::AlternateBase, "#353535"}, {QPalette::Text, "#ffffff"},    {QPalette::Button, "#3a3a3a"},
        {QPalette::ButtonText, "#ffffff"},  {QPalette::Highlight, "#0078d4"}, {QPalette::HighlightedText, "#ffffff"},
        {QPalette::ToolTipBase, "#2b2b2b"}, {QPalette::ToolTipText, "#ffffff"}, {QPalette::Link, "#4cc2ff"},
        {QPalette::PlaceholderText, "#a0a0a0"}, {QPalette::Light, "#3c3c3c"}, {QPalette::Midlight, "#333333"},
        {QPalette::Mid, "#262626"},         {QPalette::Dark, "#141414"},      {QPalette::Shadow, "#000000"},
    };
    QPalette palette;
    for (const Role& r : kDark) palette.setColor(r.role, QColor(QString::fromLatin1(r.colour)));
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7a, 0x7a));
    QApplication::setPalette(palette);
}

// The exit code: 1 when a picture was not saved or a text was cut off.
inline int pictureExitCode(bool allSaved) { return allSaved && clippedCount() == 0 ? 0 : 1; }

} // namespace kavrel::screenshots
