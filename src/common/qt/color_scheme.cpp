#include "common/qt/color_scheme.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace kavrel {

void prepareColorScheme() {
#if defined(Q_OS_WIN)
    // darkmode=2: window frames and the palette follow the system's dark mode.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "windows:darkmode=2");
#endif
}

bool darkPalette() {
    const QPalette palette = QApplication::palette();
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

void applyColorScheme(QApplication& application) {
#if defined(Q_OS_WIN)
    if (darkPalette()) application.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
#else
    Q_UNUSED(application);
#endif
}

// Dark red and dark green on a light window; lighter shades of both on a dark one, each at a
// contrast of at least 4.5:1 against the window.
QString alarmTextColor() { return darkPalette() ? QStringLiteral("#ff7b7b") : QStringLiteral("#c00000"); }
QString goodTextColor() { return darkPalette() ? QStringLiteral("#6ee06e") : QStringLiteral("#007000"); }

} // namespace kavrel
