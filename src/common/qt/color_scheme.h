// The programs follow the system's light or dark scheme where Qt offers it: on Windows the
// platform's dark mode (Windows 10/11 "Choose your mode: Dark"), drawn with the Fusion style,
// which has dark controls; elsewhere the desktop's own palette. The few texts in colours of
// their own (alarms, a made connection) take a shade readable on either background.
#pragma once

#include <QString>

class QApplication;

namespace kavrel {

// Before the application is made: asks Qt's Windows platform to follow the system's dark
// mode (unless QT_QPA_PLATFORM already says how the programs are shown).
void prepareColorScheme();

// After it is made: the Fusion style when the palette is dark (Windows' own style draws
// light controls whatever the palette).
void applyColorScheme(QApplication& application);

bool darkPalette();

// "color: ...": an alarm's text, a good state's text, as a style sheet colour.
QString alarmTextColor();
QString goodTextColor();

} // namespace kavrel
