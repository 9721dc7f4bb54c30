// Where the buttons of the shown windows are, for scripts that drive a program as a user
// does (a click at a button's place) on a desktop where nothing else can tell them: Wine
// under a bare X server has no accessibility bridge, and a fixed pixel offset breaks with any
// change of the layout.
//
// With KAVREL_BUTTON_MAP=FILE in the environment, FILE is kept holding one line for every
// visible button (push buttons, check boxes, radio buttons) of every shown top-level window:
//     WINDOW TITLE <TAB> BUTTON TEXT <TAB> X <TAB> Y <TAB> 1|0
// X, Y: the button's centre in screen pixels; 1 when it is enabled. The file is replaced
// whole (never seen half written) a moment after a window is shown, moved, resized or a
// button is enabled, disabled, shown or hidden. Without the variable nothing is watched.
#pragma once

class QApplication;

namespace kavrel {

inline constexpr const char* kButtonMapVariable = "KAVREL_BUTTON_MAP";

// Starts keeping the map when the environment asks for it.
void watchButtonsForScripts(QApplication& application);

} // namespace kavrel
