// Where "Zapisz CFG" and "Odczytaj CFG" put and find a settings file. The program has
// always written the chosen path in upper case; that names the same file only inside
// folders that ignore the case of names (a FAT memory stick, a Windows share), so only
// the part of the path inside such folders is upper-cased, and the rest kept as chosen.
#pragma once

#include <QString>
#include <functional>

namespace kavrel::monitor::ui {

// Whether names inside this existing folder are found whatever their case (judged by an
// entry of it; an empty folder counts as telling cases apart). Always true on Windows.
bool namesIgnoreCase(const QString& folder);

using CaseTest = std::function<bool(const QString& folder)>;

// The chosen path (made absolute) with every name below the outermost of its folders
// that, down to the file's own folder, ignore case upper-cased; unchanged when the
// file's folder tells cases apart.
QString settingsFilePath(const QString& chosen, const CaseTest& ignoresCase);
QString settingsFilePath(const QString& chosen);

} // namespace kavrel::monitor::ui
