// Saves a shown window as a PNG picture; with KAVREL_CHECK_CLIPPING set, also lists on
// standard error every text the window cuts off, and counts them for the program's exit code.
#pragma once

#include <QString>
#include <QTextStream>
#include <QWidget>
#include <cstdio>

#include "common/qt/clipped_text.h"

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

// The exit code: 1 when a picture was not saved or a text was cut off.
inline int pictureExitCode(bool allSaved) { return allSaved && clippedCount() == 0 ? 0 : 1; }

} // namespace kavrel::screenshots
