// Where "Zapisz CFG" and "Odczytaj CFG" put and find a settings file. The program has
// always written the chosen path in upper case; that names the same file only where the
// file system ignores the case of names, so elsewhere the path is kept as chosen.
#pragma once

#include <QString>

namespace kavrel::monitor::ui {

// Whether names in this existing folder are found whatever their case.
bool folderIgnoresCase(const QString& folder);

// The chosen path, upper-cased when its folder ignores case.
QString settingsFilePath(const QString& chosen);
QString settingsFilePath(const QString& chosen, bool ignoresCase);

} // namespace kavrel::monitor::ui
